// Erase and blank check over whole regions of the memory map, whatever the image holds.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "UsbPodFixture.h"

using ::testing::ElementsAre;

namespace {

const RegionSelection kAll = {1, 1, 1, 1};

class WholeRegionSequences : public UsbPodFixture {
protected:
    void SetUp() override {
        OpenPod();
        UseCpu(CpuType::DSP56F805);
    }
};

TEST_F(WholeRegionSequences, EraseTakesEveryPageOfTheMap) {
    EXPECT_EQ(pod.EraseTarget(kAll, false), kPodOk);
    // DFLASH 0x10-0x1F, PFLASH 0x00-0x7D, BFLASH 0x80-0x87 sent as 0x00-0x07; no P2FLASH.
    const std::vector<std::string> erases = FramesOf('X');
    ASSERT_EQ(erases.size(), 16u + 126u + 8u);
    EXPECT_EQ(erases.front(), "X0200107E00");
    EXPECT_EQ(erases[16 + 125], "X04007D7E00");
    EXPECT_EQ(erases.back(), "X0A00077E00");
    EXPECT_TRUE(FramesOf('S').empty());
    EXPECT_EQ(displays.LedPattern(), "1111");
    EXPECT_EQ(pod.EraseTarget(kAll, true), kPodOk);
    EXPECT_EQ(FramesOf('X').back(), "X0600007E00");
}

TEST_F(WholeRegionSequences, BlankCheckGoesOnPastADifferingRegionButNotPastSilence) {
    device.ReplyWhen("P0100", "?");
    std::vector<BlankRegion> report;
    EXPECT_EQ(pod.BlankCheckTarget(kAll, report), kTargetPflashVerifyError);
    EXPECT_EQ(device.Commands().front(), "G0");
    EXPECT_TRUE(FramesOf('W').empty());
    EXPECT_THAT(FramesOf('V'), ElementsAre("V1000", "V1100", "V1200", "V1300", "V1400", "V1500",
                                           "V1600", "V1700", "V1800", "V1900", "V1A00", "V1B00",
                                           "V1C00", "V1D00", "V1E00", "V1F00"));
    ASSERT_EQ(report.size(), 3u);  // DFLASH, PFLASH, BFLASH
    EXPECT_TRUE(report[0].checked && report[0].blank);
    EXPECT_TRUE(report[1].checked && !report[1].blank);
    EXPECT_EQ(report[1].differsFirst, 0x0100u);
    EXPECT_EQ(report[1].differsLast, 0x01FFu);
    EXPECT_TRUE(report[2].checked && report[2].blank);
    EXPECT_EQ(displays.LedPattern(), "1R10");

    device.ReplyWhen("P8000", "");  // no answer: the pod is out of step
    EXPECT_EQ(pod.BlankCheckTarget(kAll, report), kTargetBflashVerifyError);
    ASSERT_EQ(report.size(), 3u);
    EXPECT_FALSE(report[2].checked);
}

TEST_F(WholeRegionSequences, AZeroByteIsARefusalNotSilence) {
    // Any byte but "!" answers the compare: the piece differs and the pod is still in step.
    device.ReplyWhen("P0100", std::string(1, '\0'));
    std::vector<BlankRegion> report;
    EXPECT_EQ(pod.BlankCheckTarget(kAll, report), kTargetPflashVerifyError);
    ASSERT_EQ(report.size(), 3u);
    EXPECT_TRUE(report[1].checked && !report[1].blank);
    EXPECT_EQ(report[1].differsFirst, 0x0100u);
    EXPECT_TRUE(report[2].checked && report[2].blank);
}

}  // namespace
