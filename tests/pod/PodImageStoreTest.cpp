#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "UsbPodFixture.h"

using ::testing::ElementsAre;

namespace {

using Strings = std::vector<std::string>;
using Message = std::pair<std::string, std::uint32_t>;

// The O reply: "!", marker, CPU, options, then start/end/length per region, little-endian.
std::string InfoRecord(char marker, std::uint8_t cpu, std::uint8_t options,
                       const std::vector<std::array<std::uint16_t, 3>>& regions) {
    std::string reply = {'!', marker, static_cast<char>(cpu), static_cast<char>(options)};
    for (const auto& fields : regions) {
        for (std::uint16_t value : fields) {
            reply += static_cast<char>(value & 0xFF);
            reply += static_cast<char>(value >> 8);
        }
    }
    reply.resize(28, '\0');
    return reply;
}

class PodImageStoreTest : public UsbPodFixture {
protected:
    void SetUp() override { OpenPod(); }

    // A DSP56F803 image with 300 PFLASH words, 4 BFLASH words and 2 DFLASH words.
    void Fill803() {
        UseCpu(CpuType::DSP56F803);
        Fill(MemoryRegion::PFLASH, 0x0100, 0x0100 + 299);
        Fill(MemoryRegion::BFLASH, 0x8000, 0x8003);
        Fill(MemoryRegion::DFLASH, 0x1000, 0x1001);
    }
    std::string Record803(std::uint8_t options = 0) const {
        return InfoRecord(
            'w', 1, options,
            {{0x0100, 0x022B, 300}, {0, 0, 0}, {0x8000, 0x8003, 4}, {0x1000, 0x1001, 2}});
    }
};

// An image that never went through the region listing: wordCount holds the words read, not
// the extent. The pod still gets the extent, and POD Verify compares the record with it.
TEST_F(PodImageStoreTest, ExtentIsTheSpanWhateverWordCountHolds) {
    UseCpu(CpuType::DSP56F803);
    Fill(MemoryRegion::PFLASH, 0x0100, 0x0201);
    image.Region(MemoryRegion::PFLASH).wordCount = 4;
    EXPECT_TRUE(pod.TransferRegionToEeprom(MemoryRegion::PFLASH, false));
    EXPECT_EQ(FramesOf('Y'), Strings{"Y0010002010102"});
    EXPECT_EQ(displays.Only("range"), Strings{"range 0 258"});
    EXPECT_EQ(displays.Only("pos").back(), "pos 258");

    device.ReplyWhen("O", InfoRecord('w', 1, 0, {{0x0100, 0x0201, 0x0102}}), 1);
    EXPECT_EQ(pod.VerifyPodEeprom(), kPodOk);
    device.ReplyWhen("O", InfoRecord('w', 1, 0, {{0x0100, 0x0201, 4}}));
    EXPECT_EQ(pod.VerifyPodEeprom(), kEepromInfoMismatch);
}

TEST_F(PodImageStoreTest, ThreeHundredWordsAreStoredInBlocksOf132) {
    UseCpu(CpuType::DSP56F803);
    Fill(MemoryRegion::PFLASH, 0x0100, 0x0100 + 299);
    EXPECT_TRUE(pod.TransferRegionToEeprom(MemoryRegion::PFLASH, false));
    EXPECT_THAT(device.Commands(), ElementsAre("S", "N000000084", "S", "N000010084", "S",
                                               "N000020024", "S", "Y00100022B012C"));
    // 132 = 50 + 50 + 32 words per block, 36 in the last one.
    EXPECT_THAT(BatchSizes(), ElementsAre(350u, 350u, 224u, 350u, 350u, 224u, 252u));
    EXPECT_EQ(displays.Only("range"), Strings{"range 0 300"});
    EXPECT_THAT(displays.Only("pos"),
                ElementsAre("pos 0", "pos 132", "pos 264", "pos 300", "pos 300"));
    EXPECT_EQ(displays.shownStatus, "PFLASH EEPROM Writing...");
}

TEST_F(PodImageStoreTest, ComparingUsesQAndRecordsNothing) {
    UseCpu(CpuType::DSP56F803);
    Fill(MemoryRegion::DFLASH, 0x1000, 0x1001);
    EXPECT_TRUE(pod.TransferRegionToEeprom(MemoryRegion::DFLASH, true));
    EXPECT_THAT(device.Commands(), ElementsAre("S", "Q300000002", "S"));
    EXPECT_EQ(displays.shownStatus, "DFLASH EEPROM Verifying...");
}

TEST_F(PodImageStoreTest, EmptyRegionIsOnlyItsExtentWhenStoringAndNothingWhenComparing) {
    UseCpu(CpuType::DSP56F803);
    EXPECT_TRUE(pod.TransferRegionToEeprom(MemoryRegion::P2FLASH, false));
    EXPECT_TRUE(pod.TransferRegionToEeprom(MemoryRegion::P2FLASH, true));
    EXPECT_EQ(device.WriteTexts(), Strings{"[Y1000000000000]"});
}

TEST_F(PodImageStoreTest, PodWriteStoresEveryRegionThenTheCpuAndOptions) {
    Fill803();
    EXPECT_EQ(pod.WritePodEeprom(true, false), kPodOk);
    const Strings commands = device.Commands();
    EXPECT_EQ(commands.front(), "K");
    EXPECT_EQ(commands.back(), "Z11");
    EXPECT_THAT(FramesOf('Y'), ElementsAre("Y3100010010002", "Y00100022B012C", "Y1000000000000",
                                           "Y2800080030004"));
    EXPECT_EQ(displays.LedPattern(), "1111");
}

class EepromStoreFault
    : public PodImageStoreTest,
      public ::testing::WithParamInterface<std::tuple<std::string, PodResult, std::string>> {};

TEST_P(EepromStoreFault, AbortsAndMarksTheStep) {
    Fill803();
    const auto& [prefix, expected, leds] = GetParam();
    device.ReplyWhen(prefix, "?");
    EXPECT_EQ(pod.WritePodEeprom(false, false), expected);
    EXPECT_EQ(device.Commands().back(), "?");
    EXPECT_EQ(displays.LedPattern(), leds);
}

INSTANTIATE_TEST_SUITE_P(EveryStoreError, EepromStoreFault,
                         ::testing::Values(std::make_tuple("N3", 7, "R000"),
                                           std::make_tuple("N0", 1, "1R00"),
                                           std::make_tuple("Y1", 3, "11R0"),
                                           std::make_tuple("N2", 5, "111R"),
                                           std::make_tuple("Z", 9, "1111")),
                         [](const auto& info) { return std::string(std::get<0>(info.param)); });

TEST_F(PodImageStoreTest, PodWriteThatCannotStartSendsNothingMore) {
    Fill803();
    device.FailWriteWhen("K");
    EXPECT_EQ(pod.WritePodEeprom(false, false), kEepromWriteError);
    EXPECT_EQ(device.writes.size(), 1u);
}

TEST_F(PodImageStoreTest, ObjectionInsideABlockFailsTheRegion) {
    Fill803();
    device.ReplyWhen("T", "E", 2);  // DFLASH is one batch; PFLASH's first batch objects
    EXPECT_EQ(pod.WritePodEeprom(false, false), kEepromPflashWriteError);
}

TEST_F(PodImageStoreTest, PodVerifyPrintsTheRecordAndComparesEveryBlock) {
    Fill803();
    device.ReplyWhen("O", Record803(2));  // options differ from anything: not compared
    EXPECT_EQ(pod.VerifyPodEeprom(), kPodOk);
    EXPECT_THAT(
        displays.messages,
        ElementsAre(
            Message{"[Current SFile Info. in Serial EEPROM of USB POD]", kColourBlue},
            Message{"[CPU] : DSP56F803", kColourGreen},
            Message{"[Option] : Not Erase All BFLASH, Target Reset After Flash Writing",
                    kColourGreen},
            Message{"[PFLASH Info] Start Address : 0x0100, End Address : 0x022B, Length : 0x012C",
                    kColourGreen},
            Message{"[BFLASH Info] Start Address : 0x8000, End Address : 0x8003, Length : 0x0004",
                    kColourGreen},
            Message{"[DFLASH Info] Start Address : 0x1000, End Address : 0x1001, Length : 0x0002",
                    kColourGreen}));
    EXPECT_THAT(device.Commands(),
                ElementsAre("O", "K", "S", "Q300000002", "S", "S", "Q000000084", "S", "Q000010084",
                            "S", "Q000020024", "S", "S", "Q200000004", "S", "L"));
    EXPECT_EQ(displays.LedPattern(), "1111");
}

TEST_F(PodImageStoreTest, RecordOfADsp56f807ShowsItsSecondProgramFlash) {
    UseCpu(CpuType::DSP56F807);
    Fill(MemoryRegion::P2FLASH, 0x8000, 0x8001);
    device.ReplyWhen("O",
                     InfoRecord('w', 3, 7, {{0, 0, 0}, {0x8000, 0x8001, 2}, {0, 0, 0}, {0, 0, 0}}));
    EXPECT_EQ(pod.VerifyPodEeprom(), kPodOk);
    ASSERT_EQ(displays.messages.size(), 7u);
    EXPECT_EQ(displays.messages[1].first, "[CPU] : DSP56F807");
    EXPECT_EQ(displays.messages[2].first, "[Option] : Unknown");
    EXPECT_EQ(displays.messages[4].first,
              "[P2FLASH Info] Start Address : 0x8000, End Address : 0x8001, Length : 0x0002");
    EXPECT_THAT(FramesOf('Q'), ElementsAre("Q100000002"));
}

TEST_F(PodImageStoreTest, RecordForAnotherCpuIsPrintedAndRejected) {
    UseCpu(CpuType::DSP56F807);
    Fill(MemoryRegion::PFLASH, 0x0100, 0x0101);
    device.ReplyWhen("O",
                     InfoRecord('w', 2, 0, {{0x0100, 0x0101, 2}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}}));
    EXPECT_EQ(pod.VerifyPodEeprom(), kEepromInfoMismatch);
    ASSERT_EQ(displays.messages.size(), 7u);  // header, CPU, option, 3 regions, verdict
    EXPECT_EQ(displays.messages[1].first, "[CPU] : DSP56F805");
    EXPECT_EQ(displays.messages.back(),
              (Message{"SFile Info. is not identical to selected SFile Data", kColourRed}));
    EXPECT_THAT(device.Commands(), ElementsAre("O"));
}

TEST_F(PodImageStoreTest, RegionExtentThatDiffersIsAMismatch) {
    Fill803();
    device.ReplyWhen(
        "O",
        InfoRecord('w', 1, 0,
                   {{0x0100, 0x022B, 300}, {0, 0, 0}, {0x8000, 0x8003, 4}, {0x1000, 0x1002, 2}}));
    EXPECT_EQ(pod.VerifyPodEeprom(), kEepromInfoMismatch);
}

TEST_F(PodImageStoreTest, RegionMissingFromTheImageIsNotCompared) {
    UseCpu(CpuType::DSP56F803);
    Fill(MemoryRegion::PFLASH, 0x0100, 0x0101);
    device.ReplyWhen(
        "O",
        InfoRecord('w', 1, 0,
                   {{0x0100, 0x0101, 2}, {0, 0, 0}, {0x8000, 0x87FF, 0x800}, {0x1000, 0x1001, 2}}));
    EXPECT_EQ(pod.VerifyPodEeprom(), kPodOk);
}

TEST_F(PodImageStoreTest, PodWithoutAnImageSaysSoAndStops) {
    Fill803();
    std::string reply = Record803();
    reply[1] = 'x';
    device.ReplyWhen("O", reply);
    EXPECT_EQ(pod.VerifyPodEeprom(), kEepromInfoError);
    EXPECT_THAT(
        displays.messages,
        ElementsAre(Message{"[Current SFile Info. in Serial EEPROM of USB POD]", kColourBlue},
                    Message{"There is No SFile Info.", kColourRed}));
}

TEST_F(PodImageStoreTest, MissingOrRefusedRecordFailsWithoutAMessage) {
    Fill803();
    device.ReplyWhen("O", Record803().substr(0, 20));
    EXPECT_EQ(pod.VerifyPodEeprom(), kEepromInfoError);
    device.ReplyWhen("O", "?" + Record803().substr(1));
    const std::uint64_t begin = NowMs();
    EXPECT_EQ(pod.VerifyPodEeprom(), kEepromInfoError);
    EXPECT_EQ(NowMs() - begin, 0u);  // refused at the first byte
    EXPECT_TRUE(displays.messages.empty());
}

class EepromCompareFault
    : public PodImageStoreTest,
      public ::testing::WithParamInterface<std::tuple<std::string, PodResult, std::string>> {};

TEST_P(EepromCompareFault, ClosesWithLAndMarksTheStep) {
    UseCpu(CpuType::DSP56F807);
    Fill(MemoryRegion::PFLASH, 0x0100, 0x0101);
    Fill(MemoryRegion::P2FLASH, 0x8000, 0x8001);
    Fill(MemoryRegion::BFLASH, 0xF800, 0xF801);
    Fill(MemoryRegion::DFLASH, 0x2000, 0x2001);
    device.ReplyWhen(
        "O",
        InfoRecord(
            'w', 3, 0,
            {{0x0100, 0x0101, 2}, {0x8000, 0x8001, 2}, {0xF800, 0xF801, 2}, {0x2000, 0x2001, 2}}));
    const auto& [prefix, expected, leds] = GetParam();
    device.ReplyWhen(prefix, "?");
    EXPECT_EQ(pod.VerifyPodEeprom(), expected);
    EXPECT_EQ(device.Commands().back(), "L");
    EXPECT_EQ(displays.LedPattern(), leds);
}

INSTANTIATE_TEST_SUITE_P(EveryCompareError, EepromCompareFault,
                         ::testing::Values(std::make_tuple("Q3", 8, "R000"),
                                           std::make_tuple("Q0", 2, "1R00"),
                                           std::make_tuple("Q1", 4, "11R0"),
                                           std::make_tuple("Q2", 6, "111R")),
                         [](const auto& info) { return std::string(std::get<0>(info.param)); });

TEST_F(PodImageStoreTest, CompareThatCannotStartIsAVerifyError) {
    Fill803();
    device.ReplyWhen("O", Record803());
    device.FailWriteWhen("K");
    EXPECT_EQ(pod.VerifyPodEeprom(), kEepromVerifyError);
    EXPECT_EQ(displays.LedPattern(), "0000");
}

TEST_F(PodImageStoreTest, FailedClosingLIsAVerifyError) {
    Fill803();
    device.ReplyWhen("O", Record803());
    device.FailWriteWhen("L");
    EXPECT_EQ(pod.VerifyPodEeprom(), kEepromVerifyError);
    EXPECT_EQ(displays.LedPattern(), "1110");  // the regions passed; the rest stays dark
}

}  // namespace
