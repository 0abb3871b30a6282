// The simulated pod refuses, and counts, each thing a correct host never sends; what a
// correct host does send right beside it is still taken.
#include <gtest/gtest.h>

#include "SimPodHarness.h"

namespace {

constexpr unsigned k805 = 2;
constexpr unsigned kRam805 = 0x7E00;

class SimStrictness : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(h.Open()); }

    std::string Write(unsigned start, const std::vector<std::uint16_t>& words) {
        return h.WriteWords(0x05, start, words, kRam805);
    }
    std::string Store(unsigned region, unsigned index, const std::vector<std::uint16_t>& words) {
        h.Stream(words);
        return h.Command(
            SimPodHarness::Hex("N%X%04X%04X", region, index, static_cast<unsigned>(words.size())));
    }
    const SimCounters& Counters() const { return h.pod.Counters(); }

    SimPodHarness h;
};

TEST_F(SimStrictness, LinkWithoutThePodsFlowControlOrTimeOutsIsNotAnswered) {
    h.pod.FT_SetFlowControl(h.handle, 0x0100, 0, 0);  // RTS/CTS
    EXPECT_EQ(h.Command("I"), "");
    h.pod.FT_SetFlowControl(h.handle, FT_FLOW_NONE, 0, 0);
    h.pod.FT_SetTimeouts(h.handle, 1000, 200);
    EXPECT_EQ(h.Command("I"), "");
    EXPECT_EQ(Counters().linkRefusals, 2);
    h.pod.FT_SetTimeouts(h.handle, 200, 200);
    EXPECT_EQ(h.Command("I"), "!");
}

TEST_F(SimStrictness, BlocksStayInsideOnePage) {
    ASSERT_TRUE(h.EnterProgramming(k805, kRam805));
    const std::vector<std::uint16_t> words(0x20, 0x1234);
    EXPECT_EQ(Write(0x01F0, words), "");  // 0x01F0..0x020F
    EXPECT_EQ(Write(0x01E0, words), "!");
    h.Stream(words);
    EXPECT_EQ(h.Command("P01F0"), "");
    EXPECT_EQ(Counters().pageCrossings, 2);
}

TEST_F(SimStrictness, ADataCompareStaysInsideOnePage) {
    ASSERT_TRUE(h.EnterProgramming(k805, kRam805));
    h.Stream(std::vector<std::uint16_t>(0x100, 0xFFFF));
    EXPECT_EQ(h.Command("V1001"), "");  // 0x1001..0x1100
    h.Stream(std::vector<std::uint16_t>(0x100, 0xFFFF));
    EXPECT_NE(h.Command("V1000"), "");
    EXPECT_EQ(Counters().pageCrossings, 1);
}

TEST_F(SimStrictness, PageEraseNamesAPageOfItsRegion) {
    ASSERT_TRUE(h.EnterProgramming(k805, kRam805));
    EXPECT_EQ(h.Command(SimPodHarness::Hex("X%02X%04X%04X", 0x02, 0x0020, kRam805)), "");
    EXPECT_EQ(h.Command(SimPodHarness::Hex("X%02X%04X%04X", 0x0A, 0x0008, kRam805)), "");
    EXPECT_EQ(h.Command(SimPodHarness::Hex("X%02X%04X%04X", 0x08, 0x0000, kRam805)), "");
    EXPECT_EQ(Counters().erasePagesOutside, 3);
    EXPECT_EQ(h.Command(SimPodHarness::Hex("X%02X%04X%04X", 0x02, 0x001F, kRam805)), "!");
    EXPECT_EQ(h.Command(SimPodHarness::Hex("X%02X%04X%04X", 0x0A, 0x0007, kRam805)), "!");
}

TEST_F(SimStrictness, WholeBootEraseNamesPageZero) {
    ASSERT_TRUE(h.EnterProgramming(k805, kRam805));
    EXPECT_EQ(h.Command(SimPodHarness::Hex("X%02X%04X%04X", 0x06, 0x0001, kRam805)), "");
    EXPECT_EQ(Counters().wholeBootPageFields, 1);
    EXPECT_EQ(h.Command(SimPodHarness::Hex("X%02X%04X%04X", 0x06, 0x0000, kRam805)), "!");
}

TEST_F(SimStrictness, MoreThanFiftyWordsBeforeAQueueCheckDrawAnObjection) {
    ASSERT_TRUE(h.EnterProgramming(k805, kRam805));
    std::string batch;
    for (int i = 0; i < 51; ++i) {
        batch += SimPodHarness::Frame("T0000");
    }
    h.Write(SimPodHarness::Frame("S"));
    h.Write(batch);
    EXPECT_EQ(h.Read(), "?");
    EXPECT_EQ(Counters().oversizedBatches, 1);
    EXPECT_EQ(
        h.Command(SimPodHarness::Hex("W%02X%04X%04X%04X%04X%04X", 0x05, 0, 51, kRam805, 0, 0x400)),
        "");
    h.Queued();
    EXPECT_EQ(Write(0x0000, std::vector<std::uint16_t>(100, 0)), "!");  // 50, a check, 50
}

TEST_F(SimStrictness, WordsServeOneStream) {
    ASSERT_TRUE(h.EnterProgramming(k805, kRam805));
    ASSERT_EQ(Write(0x0100, {1, 2}), "!");
    EXPECT_EQ(h.Command("P0100"), "!");  // W, then P on the same words
    EXPECT_EQ(h.Command("P0100"), "");
    EXPECT_EQ(h.Command(SimPodHarness::Hex("W%02X%04X%04X%04X%04X%04X", 0x05, 0x0102, 2, kRam805, 3,
                                           0x400)),
              "");
    h.Write(SimPodHarness::Frame("K"));
    ASSERT_EQ(Store(3, 0, {1}), "!");
    EXPECT_EQ(h.Command("N300010001"), "");
    EXPECT_EQ(Counters().reusedWords, 3);
}

TEST_F(SimStrictness, EepromBlocksComeInOrderWithTheirWordCount) {
    h.Write(SimPodHarness::Frame("K"));
    EXPECT_EQ(Store(0, 1, {1}), "");  // block 0 first
    ASSERT_EQ(Store(0, 0, std::vector<std::uint16_t>(10, 1)), "!");
    EXPECT_EQ(Store(0, 1, {1}), "");  // a short block was the last
    EXPECT_EQ(Counters().eepromBlockOrder, 2);

    h.Stream({1, 2});
    EXPECT_EQ(h.Command("N100000003"), "");
    EXPECT_EQ(Store(1, 0, std::vector<std::uint16_t>(133, 1)), "");
    EXPECT_EQ(Counters().eepromBlockSizes, 2);
}

TEST_F(SimStrictness, ExtentAndImageRecordAgreeWithWhatWasStored) {
    h.Write(SimPodHarness::Frame("K"));
    ASSERT_EQ(Store(0, 0, std::vector<std::uint16_t>(132, 1)), "!");
    ASSERT_EQ(Store(0, 1, {2, 3}), "!");
    EXPECT_EQ(h.Command("Y0010001860087"), "");  // one word too many
    EXPECT_EQ(h.Command("Y0010001870086"), "");  // extent and length differ
    EXPECT_EQ(h.Command("Y3000000000001"), "");  // nothing stored for DFLASH
    EXPECT_EQ(Counters().eepromExtents, 3);
    EXPECT_EQ(h.Command("Y0010001850086"), "!");
    EXPECT_EQ(h.Command("Y3000000000000"), "!");

    EXPECT_EQ(h.Command("Z41"), "");
    EXPECT_EQ(h.Command("Z24"), "");
    EXPECT_EQ(Counters().imageInfoCodes, 2);
    EXPECT_EQ(h.Command("Z23"), "!");
}

// A new pod and board are not blank: old firmware on the target, another CPU's image in the
// EEPROM, unless erased is asked for.
TEST(SimFillTest, NewPodsHoldOldFirmwareAndAStaleImage) {
    VirtualClock clock;
    const SimulatedPod used(clock);
    int erasedWords = 0;
    for (std::uint32_t a = 0; a < 0x1000; ++a) {
        erasedWords += used.ProgramWord(a) == 0xFFFF ? 1 : 0;
    }
    EXPECT_LT(erasedWords, 4);
    EXPECT_EQ(used.EepromRecord().marker, 'w');
    EXPECT_EQ(used.EepromRecord().cpu, 0);  // DSP56F801: no image this host stores
    EXPECT_EQ(SimulatedPod(clock).ProgramWord(0x1234), used.ProgramWord(0x1234));  // seeded

    const SimulatedPod erased(clock, SimPace::Instant, SimFill::Erased());
    EXPECT_EQ(erased.ProgramWord(0x1234), 0xFFFF);
    EXPECT_EQ(erased.DataWord(0x2000), 0xFFFF);
    EXPECT_NE(erased.EepromRecord().marker, 'w');
    EXPECT_TRUE(erased.StoredBlocks().empty());
    EXPECT_EQ(SimulatedPod(clock, SimPace::Instant, SimFill::Every(0x0A5F)).DataWord(7), 0x0A5F);

    EXPECT_EQ(SimFill::Parse("0a5F")->word, 0x0A5F);
    EXPECT_EQ(SimFill::Parse("erased")->kind, SimFill::Kind::Erased);
    EXPECT_FALSE(SimFill::Parse("0A5"));
    EXPECT_FALSE(SimFill::Parse("0x5F"));
}

}  // namespace
