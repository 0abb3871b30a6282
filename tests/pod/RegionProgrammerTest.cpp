#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "PagePieces.h"
#include "UsbPodFixture.h"

using ::testing::ElementsAre;

namespace {

using Strings = std::vector<std::string>;

std::string Hex4(std::uint32_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value);
    return text;
}

class RegionOperationsTest : public UsbPodFixture {
protected:
    void SetUp() override { OpenPod(); }

    std::uint16_t Checksum(MemoryRegion region, std::uint32_t first, std::uint32_t last) const {
        std::uint16_t sum = 0;
        for (std::uint32_t a = first; a <= last; ++a) {
            sum = static_cast<std::uint16_t>(sum + image.WordAt(region, a));
        }
        return sum;
    }
};

TEST(PagePiecesTest, PiecesNeverCrossAPageBoundary) {
    EXPECT_THAT(PagePieces(0x10, 0x20), ElementsAre(PagePiece{0x10, 0x20}));
    EXPECT_THAT(PagePieces(0xF0, 0x110),
                ElementsAre(PagePiece{0xF0, 0xFF}, PagePiece{0x100, 0x110}));
    EXPECT_THAT(PagePieces(0x100, 0x2FF),
                ElementsAre(PagePiece{0x100, 0x1FF}, PagePiece{0x200, 0x2FF}));
    EXPECT_THAT(PagePieces(0xFFFF, 0xFFFF), ElementsAre(PagePiece{0xFFFF, 0xFFFF}));
    EXPECT_EQ(PagePieces(0xF800, 0xFFFF).size(), 8u);
    EXPECT_TRUE(PagePieces(5, 4).empty());
}

TEST_F(RegionOperationsTest, SingleDataFlashWordIsErasedStreamedAndWritten) {
    UseCpu(CpuType::DSP56F803);
    Fill(MemoryRegion::DFLASH, 0x1000, 0x1000, [](std::uint32_t) { return 0xBEEF; });
    EXPECT_EQ(pod.EraseAndWriteRegion(MemoryRegion::DFLASH, false, false), kPodOk);
    EXPECT_EQ(device.WriteTexts(),
              (Strings{"[X0200107E00]", "[S]", "[TBEEF]", "[W03100000017E00BEEF0400]"}));
    EXPECT_THAT(displays.Only("range"), ElementsAre("range 0 1", "range 0 1"));
    EXPECT_EQ(displays.position, 1);
}

TEST_F(RegionOperationsTest, WriteFrameCarriesCountProgramRamChecksumAndBlockParameter) {
    UseCpu(CpuType::DSP56F807);
    Fill(MemoryRegion::PFLASH, 0x0100, 0x01FF);
    EXPECT_EQ(pod.WriteBlock(MemoryRegion::PFLASH, false, 0x0100, 0x01FF, 0), kBlockOk);
    const auto& last = device.writes.back();
    EXPECT_EQ(last.size(), 25u);
    EXPECT_EQ(ScriptedD2xx::Text(last),
              "[W0501000100F000" + Hex4(Checksum(MemoryRegion::PFLASH, 0x100, 0x1FF)) + "0400]");
}

TEST_F(RegionOperationsTest, Dsp56f801BlocksUseTheirOwnBlockParameter) {
    UseCpu(CpuType::DSP56F801);
    Fill(MemoryRegion::PFLASH, 0x0010, 0x0011, [](std::uint32_t) { return 0x0001; });
    EXPECT_EQ(pod.WriteBlock(MemoryRegion::PFLASH, false, 0x0010, 0x0011, 0), kBlockOk);
    EXPECT_EQ(device.WriteTexts().back(), "[W05001000027C0000020300]");
}

TEST_F(RegionOperationsTest, RegionAcrossAPageBoundaryIsWrittenInTwoPieces) {
    UseCpu(CpuType::DSP56F805);
    Fill(MemoryRegion::PFLASH, 0x00F0, 0x0110);
    EXPECT_EQ(pod.EraseAndWriteRegion(MemoryRegion::PFLASH, false, false), kPodOk);
    EXPECT_THAT(
        device.Commands(),
        ElementsAre("X0400007E00", "X0400017E00", "S",
                    "W0500F000107E00" + Hex4(Checksum(MemoryRegion::PFLASH, 0xF0, 0xFF)) + "0400",
                    "S",
                    "W0501000011" + std::string("7E00") +
                        Hex4(Checksum(MemoryRegion::PFLASH, 0x100, 0x110)) + "0400"));
    // The second piece starts its progress at the 16 words already done.
    EXPECT_THAT(
        displays.log,
        ElementsAre("status PFLASH Erasing...", "repaint", "pos 0", "range 0 2", "pos 1", "pos 2",
                    "pos 0", "range 0 33", "status PFLASH Writing...", "repaint", "pos 0", "pos 16",
                    "status PFLASH Writing...", "repaint", "pos 16", "pos 33", "pos 33"));
}

TEST_F(RegionOperationsTest, HundredTwentyWordsGoOutInBatchesOfFifty) {
    UseCpu(CpuType::DSP56F805);
    Fill(MemoryRegion::PFLASH, 0x0200, 0x0277);
    EXPECT_EQ(pod.WriteBlock(MemoryRegion::PFLASH, false, 0x0200, 0x0277, 0), kBlockOk);
    EXPECT_THAT(BatchSizes(), ElementsAre(350u, 350u, 140u));
    // 3 batches, the empty queue before W and the W reply.
    EXPECT_EQ(device.CallCount("FT_GetQueueStatus"), 3u + 1u + 1u);
    EXPECT_THAT(displays.Only("pos"), ElementsAre("pos 0", "pos 50", "pos 100", "pos 120"));
    EXPECT_EQ(FramesOf('T').front(), "T" + Hex4(DefaultWord(0x200)));
}

TEST_F(RegionOperationsTest, EraseAllBootFlashIsOneFrameWhateverTheImageCovers) {
    UseCpu(CpuType::DSP56F803);
    Fill(MemoryRegion::BFLASH, 0x8000, 0x83FF);
    EXPECT_EQ(pod.EraseAndWriteRegion(MemoryRegion::BFLASH, false, true), kPodOk);
    EXPECT_THAT(FramesOf('X'), ElementsAre("X0600007E00"));
    EXPECT_EQ(displays.Only("range").front(), "range 0 1");
    EXPECT_EQ(FramesOf('W').size(), 4u);
}

TEST_F(RegionOperationsTest, BootFlashAtTheTopOfMemoryMasksThePageButNotTheAddress) {
    UseCpu(CpuType::DSP56F807);
    Fill(MemoryRegion::BFLASH, 0xF800, 0xFFFF);
    EXPECT_EQ(pod.EraseAndWriteRegion(MemoryRegion::BFLASH, true, false), kPodOk);
    EXPECT_THAT(FramesOf('X'),
                ElementsAre("X0A0078F000", "X0A0079F000", "X0A007AF000", "X0A007BF000",
                            "X0A007CF000", "X0A007DF000", "X0A007EF000", "X0A007FF000"));
    const Strings writes = FramesOf('W');
    ASSERT_EQ(writes.size(), 8u);
    EXPECT_EQ(writes.front().substr(0, 11), "W07F8000100");
    EXPECT_EQ(writes.back().substr(0, 11), "W07FF000100");
    EXPECT_THAT(FramesOf('P'), ElementsAre("PF800", "PF900", "PFA00", "PFB00", "PFC00", "PFD00",
                                           "PFE00", "PFF00"));
    EXPECT_EQ(displays.position, 0x800);
}

TEST_F(RegionOperationsTest, SecondProgramFlashExistsOnlyOnTheDsp56f807) {
    UseCpu(CpuType::DSP56F805);
    EXPECT_EQ(pod.EraseAndWriteRegion(MemoryRegion::P2FLASH, true, false), kPodOk);
    EXPECT_EQ(pod.VerifyRegion(MemoryRegion::P2FLASH), kPodOk);
    EXPECT_TRUE(device.writes.empty());
    EXPECT_TRUE(displays.log.empty());
}

TEST_F(RegionOperationsTest, RegionTheFileNeverTouchedIsLeftAlone) {
    UseCpu(CpuType::DSP56F803);  // a cleared DFLASH would otherwise erase data page 0
    EXPECT_EQ(pod.EraseAndWriteRegion(MemoryRegion::DFLASH, false, false), kPodOk);
    EXPECT_EQ(pod.VerifyRegion(MemoryRegion::DFLASH), kPodOk);
    EXPECT_TRUE(device.writes.empty());
}

TEST_F(RegionOperationsTest, DataFlashIsComparedAsDataMemory) {
    UseCpu(CpuType::DSP56F807);
    Fill(MemoryRegion::DFLASH, 0x2000, 0x2003);
    EXPECT_EQ(pod.EraseAndWriteRegion(MemoryRegion::DFLASH, true, false), kPodOk);
    EXPECT_EQ(device.Commands().back(), "V2000");
    EXPECT_EQ(displays.Only("status").back(), "status DFLASH Verifying...");
}

TEST_F(RegionOperationsTest, VerifyRegionStreamsEachPieceAndComparesIt) {
    UseCpu(CpuType::DSP56F807);
    Fill(MemoryRegion::P2FLASH, 0x80F0, 0x8100);
    EXPECT_EQ(pod.VerifyRegion(MemoryRegion::P2FLASH), kPodOk);
    EXPECT_THAT(device.Commands(), ElementsAre("S", "P80F0", "S", "P8100"));
    EXPECT_EQ(FramesOf('T').size(), 17u);
    EXPECT_EQ(displays.Only("status").front(), "status P2FLASH Verifying...");
    EXPECT_EQ(displays.log.front(), "pos 0");
    EXPECT_EQ(displays.Only("pos").back(), "pos 17");
}

TEST_F(RegionOperationsTest, ObjectionAfterABatchFailsTheBlock) {
    UseCpu(CpuType::DSP56F805);
    Fill(MemoryRegion::PFLASH, 0x0200, 0x0277);
    device.ReplyWhen("T", "E", 2);  // the pod objects after the second batch
    EXPECT_EQ(pod.WriteBlock(MemoryRegion::PFLASH, true, 0x0200, 0x0277, 0), kBlockWriteFailed);
    EXPECT_THAT(BatchSizes(), ElementsAre(350u, 350u));
    EXPECT_TRUE(FramesOf('W').empty());
}

TEST_F(RegionOperationsTest, ObjectionDuringACompareFailsItAsAMismatch) {
    UseCpu(CpuType::DSP56F805);
    Fill(MemoryRegion::PFLASH, 0x0200, 0x0277);
    device.ReplyWhen("T", "E", 3);
    EXPECT_EQ(pod.VerifyBlock(MemoryRegion::PFLASH, 0x0200, 0x0277, 0), kBlockVerifyFailed);
    EXPECT_THAT(BatchSizes(), ElementsAre(350u, 350u, 140u));
    EXPECT_TRUE(FramesOf('P').empty());
}

TEST_F(RegionOperationsTest, EachFailingFrameMapsToItsBlockResult) {
    UseCpu(CpuType::DSP56F805);
    Fill(MemoryRegion::PFLASH, 0x0200, 0x0210);
    device.FailWriteWhen("S");
    EXPECT_EQ(pod.WriteBlock(MemoryRegion::PFLASH, true, 0x200, 0x210, 0), kBlockWriteFailed);
    EXPECT_EQ(pod.VerifyBlock(MemoryRegion::PFLASH, 0x200, 0x210, 0), kBlockVerifyFailed);
    EXPECT_TRUE(FramesOf('T').empty());
}

TEST_F(RegionOperationsTest, RefusedWriteAndRefusedCompareAreToldApart) {
    UseCpu(CpuType::DSP56F805);
    Fill(MemoryRegion::PFLASH, 0x0200, 0x0210);
    device.ReplyWhen("W", "?", 1);
    EXPECT_EQ(pod.WriteBlock(MemoryRegion::PFLASH, true, 0x200, 0x210, 0), kBlockWriteFailed);
    device.ReplyWhen("P", "?", 1);
    EXPECT_EQ(pod.WriteBlock(MemoryRegion::PFLASH, true, 0x200, 0x210, 0), kBlockVerifyFailed);
    EXPECT_EQ(pod.WriteBlock(MemoryRegion::PFLASH, false, 0x200, 0x210, 0), kBlockOk);
}

TEST_F(RegionOperationsTest, BlockOutsideTheWordRangeIsRefusedUnsent) {
    EXPECT_EQ(pod.WriteBlock(MemoryRegion::PFLASH, false, 0x20, 0x10, 0), kBlockWriteFailed);
    EXPECT_EQ(pod.WriteBlock(MemoryRegion::PFLASH, false, 0, 0xFFFF, 0), kBlockWriteFailed);
    EXPECT_EQ(pod.VerifyBlock(MemoryRegion::PFLASH, 0x20, 0x10, 0), kBlockVerifyFailed);
    EXPECT_TRUE(device.writes.empty());
}

// Each region reports its own erase, write and verify error.
struct RegionFault {
    MemoryRegion region;
    std::uint32_t first, last;
    const char* erasePrefix;
    const char* writePrefix;
    const char* verifyPrefix;
    PodResult eraseError, writeError, verifyError;
};
void PrintTo(const RegionFault& f, std::ostream* out) {
    *out << RegionName(f.region);
}

class RegionFaults : public UsbPodFixture, public ::testing::WithParamInterface<RegionFault> {
protected:
    void SetUp() override {
        OpenPod();
        UseCpu(CpuType::DSP56F807);
        Fill(GetParam().region, GetParam().first, GetParam().last);
    }
};

TEST_P(RegionFaults, ReportTheRegionsOwnCodes) {
    const RegionFault& f = GetParam();
    device.ReplyWhen(f.erasePrefix, "?", 1);
    EXPECT_EQ(pod.EraseAndWriteRegion(f.region, true, false), f.eraseError);
    EXPECT_TRUE(FramesOf('S').empty());  // nothing written after a failed erase
    device.ReplyWhen(f.writePrefix, "?", 1);
    EXPECT_EQ(pod.EraseAndWriteRegion(f.region, true, false), f.writeError);
    device.ReplyWhen(f.verifyPrefix, "?", 1);
    EXPECT_EQ(pod.EraseAndWriteRegion(f.region, true, false), f.verifyError);
    device.ReplyWhen(f.verifyPrefix, "?", 1);
    EXPECT_EQ(pod.VerifyRegion(f.region), f.verifyError);
    EXPECT_EQ(pod.VerifyRegion(f.region), kPodOk);
}

INSTANTIATE_TEST_SUITE_P(
    EveryRegion, RegionFaults,
    ::testing::Values(
        RegionFault{MemoryRegion::PFLASH, 0x0100, 0x0110, "X04", "W05", "P", 3, 4, 5},
        RegionFault{MemoryRegion::P2FLASH, 0x8000, 0x8010, "X08", "W09", "P", 6, 7, 8},
        RegionFault{MemoryRegion::BFLASH, 0xF800, 0xF810, "X0A", "W07", "P", 9, 10, 11},
        RegionFault{MemoryRegion::DFLASH, 0x2000, 0x2010, "X02", "W03", "V", 12, 13, 14}),
    [](const auto& info) { return std::string(RegionName(info.param.region)); });

}  // namespace
