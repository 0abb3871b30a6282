#include <gtest/gtest.h>

#include "SimPodHarness.h"

namespace {

constexpr unsigned k805 = 2;
constexpr unsigned k807 = 3;
constexpr unsigned kRam805 = 0x7E00;
constexpr unsigned kRam807 = 0xF000;

class SimFlash : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(h.Open()); }
    SimPodHarness h;
};

TEST_F(SimFlash, IdentifyIsAcknowledgedAndUnknownFramesGetSilence) {
    EXPECT_EQ(h.Command("I"), "!");
    EXPECT_EQ(h.Command("J"), "");
    EXPECT_EQ(h.Command("G2"), "");
    EXPECT_EQ(h.Command("i"), "");
    EXPECT_EQ(h.Write("\x02I"), FT_OK);  // ETX missing: nothing yet
    EXPECT_EQ(h.Read(), "");
    EXPECT_EQ(h.Command("I"), "!");  // the cut frame is dropped, the next one answered
    EXPECT_EQ(h.pod.FrameLog().back(), "I");
}

TEST_F(SimFlash, WriteNeedsDebugModeForProgrammingAndTheFirmware) {
    const std::vector<std::uint16_t> words = {0x1234};
    EXPECT_EQ(h.WriteWords(0x05, 0x0100, words, kRam805), "");  // nothing entered
    ASSERT_EQ(h.Command("G0"), "!");
    EXPECT_EQ(h.Command(SimPodHarness::Hex("M%X%04X", k805, kRam805)), "");  // G 0: verify only
    EXPECT_EQ(h.WriteWords(0x05, 0x0100, words, kRam805), "");
    ASSERT_EQ(h.Command("G1"), "!");
    EXPECT_EQ(h.WriteWords(0x05, 0x0100, words, kRam805), "");              // no firmware yet
    EXPECT_EQ(h.Command(SimPodHarness::Hex("M%X%04X", k805, 0xF000)), "");  // wrong RAM start
    ASSERT_EQ(h.Command(SimPodHarness::Hex("M%X%04X", k805, kRam805)), "!");
    EXPECT_EQ(h.WriteWords(0x05, 0x0100, words, kRam805), "!");
    EXPECT_EQ(h.pod.ProgramWord(0x0100), 0x1234);
    // A reset ends debug mode: programming and comparing need G again.
    ASSERT_EQ(h.Command("R"), "!");
    EXPECT_EQ(h.WriteWords(0x05, 0x0101, words, kRam805), "");
    EXPECT_EQ(h.Command("P0100"), "");
}

TEST_F(SimFlash, WriteRefusesBadCountChecksumRangeAndParameters) {
    ASSERT_TRUE(h.EnterProgramming(k805, kRam805));
    const std::vector<std::uint16_t> words = {0x1111, 0x2222};
    h.Stream(words);
    const unsigned sum = SimPodHarness::Sum(words);
    const auto w = [&](unsigned code, unsigned start, unsigned count, unsigned ram, unsigned s,
                       unsigned block) {
        return h.Command(
            SimPodHarness::Hex("W%02X%04X%04X%04X%04X%04X", code, start, count, ram, s, block));
    };
    EXPECT_EQ(w(0x05, 0x0100, 3, kRam805, sum, 0x400), "");      // count differs
    EXPECT_EQ(w(0x05, 0x0100, 2, kRam805, sum + 1, 0x400), "");  // checksum differs
    EXPECT_EQ(w(0x05, 0x7DFF, 2, kRam805, sum, 0x400), "");      // runs past PFLASH end
    EXPECT_EQ(w(0x05, 0x8000, 2, kRam805, sum, 0x400), "");      // BFLASH address, PFLASH code
    EXPECT_EQ(w(0x09, 0x8000, 2, kRam805, sum, 0x400), "");      // no P2FLASH on a DSP56F805
    EXPECT_EQ(w(0x05, 0x0100, 2, 0x7C00, sum, 0x400), "");       // RAM start of another CPU
    EXPECT_EQ(w(0x05, 0x0100, 2, kRam805, sum, 0x300), "");      // block parameter of the 801
    EXPECT_EQ(w(0x0B, 0x0100, 2, kRam805, sum, 0x400), "");      // no such write code
    EXPECT_EQ(h.pod.ProgramWord(0x0100), 0xFFFF);
    EXPECT_EQ(w(0x07, 0x87FE, 2, kRam805, sum, 0x400), "!");  // last two BFLASH words
    EXPECT_EQ(h.pod.ProgramWord(0x87FF), 0x2222);
}

// Programming only clears bits: a second write without erase is caught by the compare.
TEST_F(SimFlash, ProgrammingAndsIntoTheCellsUntilErased) {
    ASSERT_TRUE(h.EnterProgramming(k805, kRam805));
    ASSERT_EQ(h.WriteWords(0x05, 0x0200, {0x0F0F, 0xFFFF}, kRam805), "!");
    EXPECT_EQ(h.Command("P0200"), "!");
    ASSERT_EQ(h.WriteWords(0x05, 0x0200, {0x00FF, 0x1234}, kRam805), "!");
    EXPECT_EQ(h.pod.ProgramWord(0x0200), 0x000F);
    EXPECT_EQ(h.pod.ProgramWord(0x0201), 0x1234);
    EXPECT_EQ(h.Command("P0200"), "?");
    h.Stream({0x00FF, 0x1234});
    EXPECT_EQ(h.Command("V0200"), "?");  // data space still erased

    ASSERT_EQ(h.Command(SimPodHarness::Hex("X%02X%04X%04X", 0x04, 0x02, kRam805)), "!");
    EXPECT_EQ(h.pod.ProgramWord(0x0200), 0xFFFF);
    ASSERT_EQ(h.WriteWords(0x05, 0x0200, {0x00FF, 0x1234}, kRam805), "!");
    EXPECT_EQ(h.Command("P0200"), "!");
}

TEST_F(SimFlash, DataFlashIsComparedInDataSpace) {
    ASSERT_TRUE(h.EnterProgramming(k805, kRam805));
    ASSERT_EQ(h.WriteWords(0x03, 0x1000, {0xBEEF}, kRam805), "!");
    EXPECT_EQ(h.pod.DataWord(0x1000), 0xBEEF);
    EXPECT_EQ(h.pod.ProgramWord(0x1000), 0xFFFF);
    EXPECT_EQ(h.Command("V1000"), "!");
    h.Stream({0xBEEF});
    EXPECT_EQ(h.Command("P1000"), "?");
}

TEST_F(SimFlash, VerifyOnlyDebugModeCompares) {
    h.pod.Target().SetProgramWord(0x0004, 0xAAAA);
    ASSERT_EQ(h.Command("G0"), "!");
    h.Stream({0xAAAA});
    EXPECT_EQ(h.Command("P0004"), "!");
    h.Stream({0xAAAA});
    EXPECT_EQ(h.Command("P0005"), "?");
}

// The page field has seven bits: on the DSP56F807 page 0x78 of the boot flash is 0xF800.
TEST_F(SimFlash, ErasePagesMapIntoTheirRegion) {
    auto& target = h.pod.Target();
    for (const unsigned a : {0x7800u, 0xF7FFu, 0xF800u, 0xF8FFu, 0xF900u, 0xFFFFu}) {
        target.SetProgramWord(a, 0);
    }
    target.SetDataWord(0x2000, 0);
    ASSERT_TRUE(h.EnterProgramming(k807, kRam807));
    const auto x = [&](unsigned code, unsigned page) {
        return h.Command(SimPodHarness::Hex("X%02X%04X%04X", code, page, kRam807));
    };
    EXPECT_EQ(x(0x0A, 0x78), "!");
    EXPECT_EQ(target.ProgramWord(0xF800), 0xFFFF);
    EXPECT_EQ(target.ProgramWord(0xF8FF), 0xFFFF);
    EXPECT_EQ(target.ProgramWord(0xF900), 0);
    EXPECT_EQ(target.ProgramWord(0x7800), 0);  // PFLASH page 0x78 is another region's
    EXPECT_EQ(x(0x0A, 0x10), "");              // no boot flash page there
    EXPECT_EQ(x(0x0A, 0xF8), "");              // more than seven bits
    EXPECT_EQ(x(0x0C, 0x00), "");              // no such erase code
    EXPECT_EQ(x(0x02, 0x20), "!");
    EXPECT_EQ(target.DataWord(0x2000), 0xFFFF);
    EXPECT_EQ(x(0x06, 0x00), "!");  // the whole boot flash
    EXPECT_EQ(target.ProgramWord(0xF900), 0xFFFF);
    EXPECT_EQ(target.ProgramWord(0xFFFF), 0xFFFF);
    EXPECT_EQ(target.ProgramWord(0xF7FF), 0);  // program RAM untouched
    EXPECT_EQ(target.ProgramWord(0x7800), 0);
}

TEST_F(SimFlash, BootFlashPagesOfTheSmallerCpusAndNoSecondProgramFlash) {
    h.pod.Target().SetProgramWord(0x8000, 0);
    h.pod.Target().SetProgramWord(0x0000, 0);
    ASSERT_TRUE(h.EnterProgramming(k805, kRam805));
    EXPECT_EQ(h.Command(SimPodHarness::Hex("X%02X%04X%04X", 0x0A, 0x00, kRam805)), "!");
    EXPECT_EQ(h.pod.ProgramWord(0x8000), 0xFFFF);
    EXPECT_EQ(h.pod.ProgramWord(0x0000), 0);
    EXPECT_EQ(h.Command(SimPodHarness::Hex("X%02X%04X%04X", 0x08, 0x00, kRam805)), "");
    EXPECT_EQ(h.Command(SimPodHarness::Hex("X%02X%04X%04X", 0x04, 0x7E, kRam805)), "");
}

TEST_F(SimFlash, EachStartOfStreamRestartsTheCollection) {
    ASSERT_TRUE(h.EnterProgramming(k805, kRam805));
    h.Stream({0x1111});
    h.Stream({0x2222, 0x3333});
    EXPECT_EQ(h.pod.Firmware().Collected(), (std::vector<std::uint16_t>{0x2222, 0x3333}));
    EXPECT_EQ(h.Queued(), 0u);
}

TEST_F(SimFlash, WordsWithoutStartOfStreamDrawOneObjection) {
    ASSERT_TRUE(h.EnterProgramming(k805, kRam805));
    // Visible to the queue check right after the batch, without any read.
    h.Write(SimPodHarness::Frame("T0001") + SimPodHarness::Frame("T0002"));
    EXPECT_EQ(h.Queued(), 1u);
    EXPECT_EQ(h.Read(2), "?");
    // A stream that was closed by W takes no more words.
    ASSERT_EQ(h.WriteWords(0x05, 0x0100, {0x0001}, kRam805), "!");
    h.Write(SimPodHarness::Frame("T0002"));
    EXPECT_EQ(h.Queued(), 1u);
}

TEST_F(SimFlash, MalformedWordSpoilsTheStream) {
    ASSERT_TRUE(h.EnterProgramming(k805, kRam805));
    h.Write(SimPodHarness::Frame("S"));
    h.Write(SimPodHarness::Frame("T0001") + SimPodHarness::Frame("T00G2") +
            SimPodHarness::Frame("T0003"));
    EXPECT_EQ(h.Queued(), 1u);
    h.Read();
    // The W that counts the words the host meant is refused.
    EXPECT_EQ(h.Command(SimPodHarness::Hex("W%02X%04X%04X%04X%04X%04X", 0x05, 0x100, 3, kRam805, 6,
                                           0x400)),
              "");
    EXPECT_EQ(h.Command("P0100"), "");
}

TEST_F(SimFlash, CollectionOverflowIsAnObjection) {
    h.Stream(std::vector<std::uint16_t>(SimPodFirmware::kMaxCollectedWords, 0));
    EXPECT_EQ(h.Queued(), 0u);
    h.Write(SimPodHarness::Frame("T0000"));
    EXPECT_EQ(h.Queued(), 1u);
    EXPECT_EQ(h.pod.Firmware().Collected().size(), SimPodFirmware::kMaxCollectedWords);
}

}  // namespace
