#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "UsbPodFixture.h"

using ::testing::ElementsAre;

namespace {

using Bytes = std::vector<std::uint8_t>;
using Strings = std::vector<std::string>;

class ProtocolTest : public UsbPodFixture {
protected:
    void SetUp() override { OpenPod(); }
};

TEST_F(ProtocolTest, IdentifyIsThreeBytesAndSettlesTenMilliseconds) {
    const std::uint64_t begin = NowMs();
    EXPECT_TRUE(pod.Identify());
    EXPECT_EQ(device.writes, (std::vector<Bytes>{{0x02, 0x49, 0x03}}));
    EXPECT_EQ(NowMs() - begin, 10u);
}

TEST_F(ProtocolTest, ResetTargetSettlesOnlyAfterSuccess) {
    std::uint64_t begin = NowMs();
    EXPECT_TRUE(pod.ResetTarget());
    EXPECT_EQ(device.writes, (std::vector<Bytes>{{0x02, 0x52, 0x03}}));
    EXPECT_EQ(NowMs() - begin, 10u);
    device.ReplyWhen("R", "x");
    begin = NowMs();
    EXPECT_FALSE(pod.ResetTarget());
    EXPECT_EQ(NowMs() - begin, 0u);
}

TEST_F(ProtocolTest, DebugModeCarriesItsArgumentAndShowsItsStatusFirst) {
    EXPECT_TRUE(pod.EnterDebugMode(1));
    EXPECT_TRUE(pod.EnterDebugMode(0));
    EXPECT_EQ(device.WriteTexts(), (Strings{"[G1]", "[G0]"}));
    EXPECT_THAT(displays.log, ElementsAre("status Enter Debug Mode", "repaint",
                                          "status Enter Debug Mode", "repaint"));
}

TEST_F(ProtocolTest, FirmwareDownloadOnDsp56f807IsTheDocumentedEightBytes) {
    UseCpu(CpuType::DSP56F807);
    EXPECT_TRUE(pod.DownloadFirmware());
    EXPECT_EQ(device.writes,
              (std::vector<Bytes>{{0x02, 0x4D, 0x33, 0x46, 0x30, 0x30, 0x30, 0x03}}));
    EXPECT_EQ(displays.shownStatus, "Firmware Downloading...");
}

TEST_F(ProtocolTest, FirmwareDownloadNamesEachCpuAndItsProgramRam) {
    const std::pair<CpuType, const char*> cases[] = {{CpuType::DSP56F801, "[M07C00]"},
                                                     {CpuType::DSP56F803, "[M17E00]"},
                                                     {CpuType::DSP56F805, "[M27E00]"},
                                                     {CpuType::DSP56F807, "[M3F000]"}};
    for (const auto& [cpu, frame] : cases) {
        UseCpu(cpu);
        device.ClearRecords();
        EXPECT_TRUE(pod.DownloadFirmware());
        EXPECT_EQ(device.WriteTexts(), Strings{frame});
    }
}

TEST_F(ProtocolTest, StoreImageInfoPacksBothOptionsIntoOneDigit) {
    UseCpu(CpuType::DSP56F805);
    EXPECT_TRUE(pod.StoreImageInfo(false, false));
    EXPECT_TRUE(pod.StoreImageInfo(true, false));
    EXPECT_TRUE(pod.StoreImageInfo(false, true));
    EXPECT_TRUE(pod.StoreImageInfo(true, true));
    EXPECT_EQ(device.WriteTexts(), (Strings{"[Z20]", "[Z21]", "[Z22]", "[Z23]"}));
}

TEST_F(ProtocolTest, AbortIsSentWithoutWaitingForAnything) {
    pod.SendAbort();
    EXPECT_EQ(device.WriteTexts(), Strings{"[?]"});
    EXPECT_EQ(device.CallCount("FT_Read"), 0u);
    device.FailCall("FT_Write");
    pod.SendAbort();  // its failure is nobody's business
}

TEST_F(ProtocolTest, RefusalFailsTheCommandTheMomentItArrives) {
    device.ReplyWhen("M", "E");
    const std::uint64_t begin = NowMs();
    EXPECT_FALSE(pod.DownloadFirmware());
    EXPECT_EQ(NowMs() - begin, 0u);  // not the 2000 ms time-out
}

TEST_F(ProtocolTest, FailedWriteIsNotFollowedByARead) {
    device.FailWriteWhen("G");
    EXPECT_FALSE(pod.EnterDebugMode(1));
    EXPECT_EQ(device.CallCount("FT_Read"), 0u);
}

// Each command waits for its own acknowledgement time-out: a reply 100 ms inside it is
// taken, one 400 ms beyond it (past the last 200 ms device read) is not.
struct AckCase {
    const char* name;
    const char* prefix;
    std::uint32_t timeoutMs;
    std::function<bool(CUsbPod&)> command;
};
// Test output names the case rather than dumping its bytes.
void PrintTo(const AckCase& c, std::ostream* out) {
    *out << c.name;
}

class AckTimeOut : public UsbPodFixture, public ::testing::WithParamInterface<AckCase> {
protected:
    void SetUp() override { OpenPod(); }
};

TEST_P(AckTimeOut, ReplyInsideTheTimeOutIsTakenOneBeyondIsNot) {
    const AckCase& c = GetParam();
    device.ReplyWhen(c.prefix, "!", 1, c.timeoutMs - 100);
    device.ReplyWhen(c.prefix, "!", 2, c.timeoutMs + 400);
    EXPECT_TRUE(c.command(pod));
    EXPECT_FALSE(c.command(pod));
}

INSTANTIATE_TEST_SUITE_P(
    EveryAcknowledgedCommand, AckTimeOut,
    ::testing::Values(
        AckCase{"Identify", "I", 200, [](CUsbPod& p) { return p.Identify(); }},
        AckCase{"Reset", "R", 1000, [](CUsbPod& p) { return p.ResetTarget(); }},
        AckCase{"DebugMode", "G", 1000, [](CUsbPod& p) { return p.EnterDebugMode(1); }},
        AckCase{"Firmware", "M", 2000, [](CUsbPod& p) { return p.DownloadFirmware(); }},
        AckCase{"ImageInfo", "Z", 200, [](CUsbPod& p) { return p.StoreImageInfo(true, true); }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
