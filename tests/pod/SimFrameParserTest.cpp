#include <gtest/gtest.h>

#include <random>

#include "SimPodHarness.h"
#include "sim/SimFrameParser.h"

namespace {

std::vector<SimFrameParser::Result> FeedAll(SimFrameParser& parser, const std::string& bytes) {
    std::vector<SimFrameParser::Result> results;
    for (const char c : bytes) {
        SimFrameParser::Result r = parser.Feed(static_cast<std::uint8_t>(c));
        if (r.kind != SimFrameParser::Kind::None) {
            results.push_back(r);
        }
    }
    return results;
}

TEST(SimFrameParser, DecodesFieldsOfTheirFixedWidths) {
    const auto w = SimFrameParser::Decode("W0501000100F00012340400");
    ASSERT_TRUE(w.has_value());
    EXPECT_EQ(w->letter, 'W');
    ASSERT_EQ(w->fieldCount, 6);
    EXPECT_EQ(w->Field(0), 0x05u);
    EXPECT_EQ(w->Field(1), 0x0100u);
    EXPECT_EQ(w->Field(2), 0x0100u);
    EXPECT_EQ(w->Field(3), 0xF000u);
    EXPECT_EQ(w->Field(4), 0x1234u);
    EXPECT_EQ(w->Field(5), 0x0400u);

    const auto n = SimFrameParser::Decode("N300020084");
    ASSERT_TRUE(n.has_value());
    EXPECT_EQ(n->Field(0), 3u);
    EXPECT_EQ(n->Field(1), 2u);
    EXPECT_EQ(n->Field(2), 0x84u);
    EXPECT_TRUE(SimFrameParser::Decode("?").has_value());
}

TEST(SimFrameParser, RejectsWrongWidthsLowerCaseAndUnknownCommands) {
    EXPECT_FALSE(SimFrameParser::Decode("T123").has_value());    // short field
    EXPECT_FALSE(SimFrameParser::Decode("T12345").has_value());  // long field
    EXPECT_FALSE(SimFrameParser::Decode("T12ab").has_value());   // lower-case hex
    EXPECT_FALSE(SimFrameParser::Decode("G 1").has_value());
    EXPECT_FALSE(SimFrameParser::Decode("J").has_value());
    EXPECT_FALSE(SimFrameParser::Decode("i").has_value());
    EXPECT_FALSE(SimFrameParser::Decode("").has_value());
}

TEST(SimFrameParser, SkipsNoiseAndReportsCutAndOverlongFrames) {
    SimFrameParser parser;
    // Noise, a good frame, a frame cut short by the next STX, a good frame.
    auto results = FeedAll(parser, std::string("xx\x03") + "\x02I\x03" + "\x02T12" + "\x02G1\x03");
    ASSERT_EQ(results.size(), 3u);
    EXPECT_EQ(results[0].kind, SimFrameParser::Kind::Frame);
    EXPECT_EQ(results[0].frame.text, "I");
    EXPECT_EQ(results[1].kind, SimFrameParser::Kind::Malformed);
    EXPECT_EQ(results[1].letter, 'T');
    EXPECT_EQ(results[2].frame.text, "G1");

    results = FeedAll(parser, "\x02" + std::string(10000, 'A') + "\x03" + "\x02R\x03");
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].kind, SimFrameParser::Kind::Malformed);
    EXPECT_LE(results[0].text.size(), SimFrameParser::kMaxBody);
    EXPECT_EQ(results[1].frame.text, "R");
}

// Whatever arrives, the pod neither crashes nor grows without bound.
TEST(SimFrameParser, RandomByteStreamsKeepThePodBounded) {
    SimPodHarness h;
    ASSERT_TRUE(h.Open());
    std::mt19937 random(1234);
    const std::string alphabet = "\x02\x03STWPVXGMKNQYZOLRI?0123456789ABCDEFa";
    for (int round = 0; round < 400; ++round) {
        std::string bytes(static_cast<std::size_t>(random() % 700), '\0');
        for (char& c : bytes) {
            c = random() % 4 == 0 ? static_cast<char>(random() % 256)
                                  : alphabet[random() % alphabet.size()];
        }
        ASSERT_EQ(h.Write(bytes), FT_OK);
        h.Read(static_cast<std::uint32_t>(random() % 40));
    }
    EXPECT_LE(h.pod.Firmware().Collected().size(), SimPodFirmware::kMaxCollectedWords);
    EXPECT_LE(h.Queued(), SimLink::kMaxQueued);
    EXPECT_GT(h.pod.Counters().malformedFrames, 0);
}

}  // namespace
