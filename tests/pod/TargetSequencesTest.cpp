#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "UsbPodFixture.h"

using ::testing::ElementsAre;

namespace {

using Strings = std::vector<std::string>;

RegionSelection Select(std::initializer_list<MemoryRegion> regions) {
    RegionSelection selection{};
    for (MemoryRegion region : regions) {
        selection[RegionIndex(region)] = 1;
    }
    return selection;
}

const RegionSelection kAll = {1, 1, 1, 1};

class TargetSequencesTest : public UsbPodFixture {
protected:
    void SetUp() override { OpenPod(); }

    // One small block in every region of a DSP56F807, each in its own page.
    void FillAll807() {
        UseCpu(CpuType::DSP56F807);
        Fill(MemoryRegion::PFLASH, 0x0100, 0x0103);
        Fill(MemoryRegion::P2FLASH, 0x8000, 0x8003);
        Fill(MemoryRegion::BFLASH, 0xF800, 0xF803);
        Fill(MemoryRegion::DFLASH, 0x2000, 0x2003);
    }

    // The region each erase frame addresses, in the order they went out.
    Strings EraseCodes() const {
        Strings codes;
        for (const std::string& frame : FramesOf('X')) {
            codes.push_back(frame.substr(1, 2));
        }
        return codes;
    }
};

TEST_F(TargetSequencesTest, ProgrammingWorksDataFlashFirstAndBootFlashLast) {
    FillAll807();
    EXPECT_EQ(pod.ProgramTarget(kAll, false), kPodOk);
    const Strings commands = device.Commands();
    ASSERT_GE(commands.size(), 2u);
    EXPECT_EQ(commands[0], "G1");
    EXPECT_EQ(commands[1], "M3F000");
    EXPECT_THAT(EraseCodes(), ElementsAre("02", "04", "08", "0A"));
    EXPECT_TRUE(FramesOf('P').empty());
    EXPECT_TRUE(FramesOf('V').empty());
    EXPECT_EQ(displays.LedPattern(), "1111");
}

TEST_F(TargetSequencesTest, ProgramAndVerifyComparesEveryBlockAfterWritingIt) {
    FillAll807();
    EXPECT_EQ(pod.ProgramAndVerifyTarget(kAll, true), kPodOk);
    EXPECT_THAT(FramesOf('V'), ElementsAre("V2000"));
    EXPECT_THAT(FramesOf('P'), ElementsAre("P0100", "P8000", "PF800"));
    EXPECT_THAT(EraseCodes(), ElementsAre("02", "04", "08", "06"));  // whole boot flash
}

TEST_F(TargetSequencesTest, TwoRegionsOnADsp56f803LightTheRestAfterwards) {
    UseCpu(CpuType::DSP56F803);
    Fill(MemoryRegion::PFLASH, 0x0100, 0x0103);
    Fill(MemoryRegion::BFLASH, 0x8000, 0x8003);
    EXPECT_EQ(pod.ProgramTarget(Select({MemoryRegion::PFLASH, MemoryRegion::BFLASH}), false),
              kPodOk);
    EXPECT_EQ(device.Commands().front(), "G1");
    EXPECT_THAT(
        displays.Only("led"),
        ElementsAre("led1 active", "led1 repaint", "led2 active", "led2 repaint", "led2 active",
                    "led2 repaint", "led3 active", "led3 repaint", "led4 active", "led4 repaint"));
    EXPECT_EQ(displays.LedPattern(), "1111");
}

TEST_F(TargetSequencesTest, SecondProgramFlashIsIgnoredBelowTheDsp56f807) {
    UseCpu(CpuType::DSP56F805);
    Fill(MemoryRegion::PFLASH, 0x0100, 0x0103);
    EXPECT_EQ(pod.ProgramTarget(Select({MemoryRegion::P2FLASH, MemoryRegion::PFLASH}), false),
              kPodOk);
    EXPECT_THAT(EraseCodes(), ElementsAre("04"));
    // PFLASH is step 1; the closing step then lights 1 to 4.
    EXPECT_THAT(displays.Only("led1 active"), ElementsAre("led1 active", "led1 active"));
}

TEST_F(TargetSequencesTest, FailedCompareStopsTheSequenceWithARedLamp) {
    FillAll807();
    device.ReplyWhen("P0100", "?");
    const RegionSelection selection =
        Select({MemoryRegion::DFLASH, MemoryRegion::PFLASH, MemoryRegion::BFLASH});
    EXPECT_EQ(pod.ProgramAndVerifyTarget(selection, false), kTargetPflashVerifyError);
    EXPECT_EQ(displays.LedPattern(), "1R00");
    EXPECT_EQ(displays.leds[1].inactiveColour, kLedFailedUnlit);
    EXPECT_THAT(EraseCodes(), ElementsAre("02", "04"));  // boot flash untouched
}

TEST_F(TargetSequencesTest, VerifyTargetEntersDebugModeZeroAndNeverDownloadsFirmware) {
    FillAll807();
    EXPECT_EQ(pod.VerifyTarget(kAll), kPodOk);
    EXPECT_THAT(device.Commands(),
                ElementsAre("G0", "S", "V2000", "S", "P0100", "S", "P8000", "S", "PF800"));
    EXPECT_EQ(displays.LedPattern(), "1111");
}

TEST_F(TargetSequencesTest, EmptySelectionStillEntersDebugModeAndLightsAllLamps) {
    FillAll807();
    EXPECT_EQ(pod.ProgramTarget(RegionSelection{}, false), kPodOk);
    EXPECT_THAT(device.Commands(), ElementsAre("G1", "M3F000"));
    EXPECT_EQ(displays.LedPattern(), "1111");
}

TEST_F(TargetSequencesTest, DebugModeAndFirmwareFailuresLightNothing) {
    FillAll807();
    device.ReplyWhen("G", "?", 1);
    EXPECT_EQ(pod.ProgramTarget(kAll, false), kTargetDebugModeError);
    device.ReplyWhen("G", "?", 1);  // counted from here on
    EXPECT_EQ(pod.VerifyTarget(kAll), kTargetDebugModeError);
    device.ReplyWhen("M", "?", 1);
    EXPECT_EQ(pod.ProgramAndVerifyTarget(kAll, false), kTargetFirmwareDownloadError);
    EXPECT_EQ(displays.LedPattern(), "0000");
    EXPECT_TRUE(FramesOf('X').empty());
}

TEST_F(TargetSequencesTest, UpdateLedIgnoresStepsOutsideOneToFour) {
    pod.UpdateLed(0, true);
    pod.UpdateLed(5, false);
    EXPECT_TRUE(displays.log.empty());
    pod.UpdateLed(3, true);
    EXPECT_EQ(displays.LedPattern(), "00R0");
    EXPECT_EQ(displays.leds[2].repaints, 1);
}

TEST_F(TargetSequencesTest, SequencesWithoutDisplaysReportIntoNothing) {
    FillAll807();
    CUsbPod bare(library, clock, image);
    ASSERT_TRUE(bare.LoadDriverLibrary());
    ASSERT_TRUE(bare.FindPod());
    ASSERT_EQ(bare.Open(), kPodOpenOk);
    EXPECT_EQ(bare.ProgramAndVerifyTarget(kAll, false), kPodOk);
    EXPECT_EQ(bare.VerifyPodEeprom(), kEepromInfoError);
}

// Every target result code, produced by a refusal at the frame that causes it.
struct TargetFault {
    const char* prefix;
    bool verifyOnly;
    PodResult expected;
    const char* leds;
};
void PrintTo(const TargetFault& f, std::ostream* out) {
    *out << f.prefix << (f.verifyOnly ? " in Target Verify" : " in Target Write && Verify");
}

class TargetFaults : public TargetSequencesTest, public ::testing::WithParamInterface<TargetFault> {};

TEST_P(TargetFaults, ReturnTheirCodeAndMarkTheFailingStep) {
    FillAll807();
    const TargetFault& f = GetParam();
    device.ReplyWhen(f.prefix, "?");
    const PodResult result =
        f.verifyOnly ? pod.VerifyTarget(kAll) : pod.ProgramAndVerifyTarget(kAll, false);
    EXPECT_EQ(result, f.expected);
    EXPECT_EQ(displays.LedPattern(), f.leds);
}

INSTANTIATE_TEST_SUITE_P(
    EveryCode, TargetFaults,
    ::testing::Values(TargetFault{"G", false, 1, "0000"}, TargetFault{"M", false, 2, "0000"},
                      TargetFault{"X04", false, 3, "1R00"}, TargetFault{"W05", false, 4, "1R00"},
                      TargetFault{"P0100", false, 5, "1R00"}, TargetFault{"X08", false, 6, "11R0"},
                      TargetFault{"W09", false, 7, "11R0"}, TargetFault{"P8000", false, 8, "11R0"},
                      TargetFault{"X0A", false, 9, "111R"}, TargetFault{"W07", false, 10, "111R"},
                      TargetFault{"PF800", false, 11, "111R"},
                      TargetFault{"X02", false, 12, "R000"}, TargetFault{"W03", false, 13, "R000"},
                      TargetFault{"V2000", false, 14, "R000"}, TargetFault{"G", true, 1, "0000"},
                      TargetFault{"P0100", true, 5, "1R00"}, TargetFault{"P8000", true, 8, "11R0"},
                      TargetFault{"PF800", true, 11, "111R"},
                      TargetFault{"V2000", true, 14, "R000"}),
    [](const auto& info) {
        return std::string(info.param.prefix) + (info.param.verifyOnly ? "_Verify" : "_Write");
    });

}  // namespace
