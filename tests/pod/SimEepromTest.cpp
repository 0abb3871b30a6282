#include <gtest/gtest.h>

#include "SimPodHarness.h"

namespace {

class SimEepromStore : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(h.Open()); }

    std::string StoreBlock(unsigned region, unsigned index, const std::vector<std::uint16_t>& w) {
        h.Stream(w);
        return h.Command(
            SimPodHarness::Hex("N%X%04X%04X", region, index, static_cast<unsigned>(w.size())));
    }
    std::string CompareBlock(unsigned region, unsigned index, const std::vector<std::uint16_t>& w) {
        h.Stream(w);
        return h.Command(
            SimPodHarness::Hex("Q%X%04X%04X", region, index, static_cast<unsigned>(w.size())));
    }
    std::string Info() { return h.Command("O", 28); }

    SimPodHarness h;
};

TEST_F(SimEepromStore, InfoRecordHoldsWhatYAndZStoredLittleEndian) {
    h.Write(SimPodHarness::Frame("K"));
    ASSERT_EQ(StoreBlock(0, 0, {0x0102, 0x0304}), "!");
    ASSERT_EQ(h.Command("Y0010001010002"), "!");  // PFLASH 0x0100..0x0101, 2 words
    ASSERT_EQ(h.Command("Y1000000000000"), "!");
    ASSERT_EQ(h.Command("Y2800080030000"), "!");  // no words: the addresses do not matter
    ASSERT_EQ(h.Command("Y3200021FF0000"), "!");
    ASSERT_EQ(h.Command("Z32"), "!");
    const std::string record = Info();
    ASSERT_EQ(record.size(), 28u);
    const std::string expected =
        std::string("!w\x03\x02", 4) + std::string("\x00\x01\x01\x01\x02\x00", 6) +
        std::string("\x00\x00\x00\x00\x00\x00", 6) + std::string("\x00\x80\x03\x80\x00\x00", 6) +
        std::string("\x00\x20\xFF\x21\x00\x00", 6);
    EXPECT_EQ(record, expected);
    EXPECT_EQ(h.pod.EepromRecord().regions[2].end, 0x8003);
}

TEST_F(SimEepromStore, NewPodHasNoImage) {
    const std::string record = Info();
    ASSERT_EQ(record.size(), 28u);
    EXPECT_EQ(record[0], '!');
    EXPECT_NE(record[1], 'w');
}

TEST_F(SimEepromStore, CompareAcknowledgesOnlyAnEqualStoredBlock) {
    h.Write(SimPodHarness::Frame("K"));
    ASSERT_EQ(StoreBlock(3, 0, {0xAAAA, 0xBBBB, 0xCCCC}), "!");
    h.Write(SimPodHarness::Frame("L"));
    h.Write(SimPodHarness::Frame("K"));
    EXPECT_EQ(CompareBlock(3, 0, {0xAAAA, 0xBBBB, 0xCCCC}), "!");
    EXPECT_EQ(CompareBlock(3, 0, {0xAAAA, 0xBBBB, 0xCCCD}), "?");
    EXPECT_EQ(CompareBlock(3, 0, {0xAAAA, 0xBBBB}), "?");
    EXPECT_EQ(CompareBlock(3, 1, {0xAAAA}), "?");  // never stored
    EXPECT_EQ(CompareBlock(0, 0, {0xAAAA, 0xBBBB, 0xCCCC}), "?");
    // Comparing is no write: the stored block stays.
    ASSERT_NE(h.pod.Eeprom().Block(3, 0), nullptr);
}

TEST_F(SimEepromStore, StoreRefusesOutsideASessionAndWrongSizes) {
    EXPECT_EQ(StoreBlock(0, 0, {1, 2}), "");  // no K
    h.Write(SimPodHarness::Frame("K"));
    h.Stream({1, 2});
    EXPECT_EQ(h.Command("N000000003"), "");  // count differs from the words sent
    EXPECT_EQ(h.Command("N400000002"), "");  // no region 4
    EXPECT_EQ(StoreBlock(0, 0, std::vector<std::uint16_t>(133, 7)), "");
    EXPECT_EQ(StoreBlock(0, 0, std::vector<std::uint16_t>(132, 7)), "!");
    EXPECT_EQ(h.pod.StoredBlocks().size(), 1u);
}

// A half-written image must never look stored: starting a new image clears the marker, and
// so does the abort frame.
TEST_F(SimEepromStore, MarkerOnlyForAFinishedImage) {
    h.Write(SimPodHarness::Frame("K"));
    ASSERT_EQ(StoreBlock(0, 0, {1}), "!");
    ASSERT_EQ(h.Command("Z20"), "!");
    EXPECT_EQ(Info()[1], 'w');

    h.Write(SimPodHarness::Frame("K"));
    ASSERT_EQ(StoreBlock(3, 0, {2}), "!");
    EXPECT_NE(Info()[1], 'w');
    EXPECT_EQ(h.pod.Eeprom().Block(0, 0), nullptr);  // the old image is gone
    ASSERT_EQ(h.Command("Z20"), "!");
    EXPECT_EQ(Info()[1], 'w');

    h.Write(SimPodHarness::Frame("K"));
    ASSERT_EQ(StoreBlock(3, 0, {2}), "!");
    h.Write(SimPodHarness::Frame("?"));
    EXPECT_EQ(Info()[1], '\0');
    EXPECT_EQ(h.Command("Z20"), "");  // the abort ended the session
}

TEST_F(SimEepromStore, VerifySessionLeavesTheImageStored) {
    h.Write(SimPodHarness::Frame("K"));
    ASSERT_EQ(StoreBlock(2, 0, {5, 6}), "!");
    ASSERT_EQ(h.Command("Z30"), "!");
    h.Write(SimPodHarness::Frame("K"));
    EXPECT_EQ(CompareBlock(2, 0, {5, 6}), "!");
    h.Write(SimPodHarness::Frame("L"));
    EXPECT_EQ(Info()[1], 'w');
    EXPECT_EQ(Info()[2], 3);
}

}  // namespace
