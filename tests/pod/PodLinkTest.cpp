#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "UsbPodFixture.h"

using ::testing::ElementsAre;

namespace {

using Strings = std::vector<std::string>;

class PodLinkTest : public UsbPodFixture {};

// --- library and discovery -----------------------------------------------------------------

TEST_F(PodLinkTest, MissingLibraryFailsFindAndOpenWithoutTouchingTheDevice) {
    library.present = false;
    EXPECT_FALSE(pod.LoadDriverLibrary());
    EXPECT_FALSE(pod.HasLibrary());
    EXPECT_FALSE(pod.FindPod());
    EXPECT_EQ(pod.Open(), kPodOpenPortFailure);
    EXPECT_EQ(device.calls, Strings{"Load"});
    EXPECT_EQ(pod.LastLibraryError(), "not installed");
}

TEST_F(PodLinkTest, FindsThePodAmongOtherDevicesByExactDescription) {
    device.devices = {"USB POD2", "usb pod", "USB POD"};
    ASSERT_TRUE(pod.LoadDriverLibrary());
    EXPECT_TRUE(pod.FindPod());
    EXPECT_STREQ(pod.Description(), "USB POD");
    EXPECT_EQ(device.CallCount("FT_ListDevices"), 4u);  // the count, then three descriptions
}

TEST_F(PodLinkTest, DescriptionsThatOnlyResembleThePodAreNotTaken) {
    device.devices = {"USB POD ", "usb pod", "USB PO"};
    ASSERT_TRUE(pod.LoadDriverLibrary());
    EXPECT_FALSE(pod.FindPod());
    EXPECT_FALSE(pod.IsFound());
    EXPECT_STREQ(pod.Description(), "");
}

TEST_F(PodLinkTest, DescriptionFillingAllSixtyFourBytesIsCutNotOverread) {
    device.devices = {"USB POD" + std::string(57, 'x'), "USB POD"};
    ASSERT_TRUE(pod.LoadDriverLibrary());
    EXPECT_TRUE(pod.FindPod());
    EXPECT_STREQ(pod.Description(), "USB POD");
    EXPECT_LT(std::strlen(pod.Description()), CUsbPod::kDescriptionSize);
}

TEST_F(PodLinkTest, FailedListingClearsTheFoundFlag) {
    ASSERT_TRUE(pod.LoadDriverLibrary());
    device.FailCall("FT_ListDevices", 2);  // the description of device 0
    EXPECT_FALSE(pod.FindPod());
    device.devices.clear();
    EXPECT_FALSE(pod.FindPod());
    EXPECT_STREQ(pod.Description(), "");
}

TEST_F(PodLinkTest, FoundPodIsNotListedAgainAndAPulledPodFailsAtOpen) {
    ASSERT_TRUE(pod.LoadDriverLibrary());
    ASSERT_TRUE(pod.FindPod());
    device.devices.clear();  // unplugged
    device.ClearRecords();
    EXPECT_TRUE(pod.FindPod());
    EXPECT_EQ(device.CallCount("FT_ListDevices"), 0u);
    EXPECT_EQ(pod.Open(), kPodOpenPortFailure);
    EXPECT_FALSE(pod.IsOpen());
    EXPECT_TRUE(pod.IsFound());
}

TEST_F(PodLinkTest, LoadingTwiceKeepsOneReference) {
    EXPECT_TRUE(pod.LoadDriverLibrary());
    EXPECT_TRUE(pod.LoadDriverLibrary());
    pod.FreeDriverLibrary();
    EXPECT_EQ(library.loads, 1);
    EXPECT_EQ(library.frees, 1);
    EXPECT_FALSE(pod.HasLibrary());
}

// --- open and close ------------------------------------------------------------------------

TEST_F(PodLinkTest, OpenConfiguresTheLinkAndIdentifiesThePod) {
    ASSERT_TRUE(pod.LoadDriverLibrary());
    ASSERT_TRUE(pod.FindPod());
    device.ClearRecords();
    EXPECT_EQ(pod.Open(), kPodOpenOk);
    EXPECT_TRUE(pod.IsOpen());
    EXPECT_EQ(device.openedDescription, "USB POD");
    EXPECT_EQ(device.openFlags, FT_OPEN_BY_DESCRIPTION);
    EXPECT_EQ(device.setLatency, 1);
    EXPECT_EQ(device.baud, 921600u);
    EXPECT_EQ(device.wordLength, FT_BITS_8);
    EXPECT_EQ(device.stopBits, FT_STOP_BITS_1);
    EXPECT_EQ(device.parity, FT_PARITY_NONE);
    EXPECT_EQ(device.flowControl, FT_FLOW_NONE);
    EXPECT_EQ(device.readTimeout, 200u);
    EXPECT_EQ(device.writeTimeout, 200u);
    EXPECT_EQ(device.purgeMask, 3u);
    const Strings configuration(device.calls.begin(), device.calls.begin() + 11);
    EXPECT_EQ(configuration,
              (Strings{"FT_OpenEx", "FT_ResetDevice", "FT_GetLatencyTimer", "FT_SetLatencyTimer",
                       "FT_SetBaudRate", "FT_SetDataCharacteristics", "FT_SetFlowControl",
                       "FT_SetTimeouts", "FT_Purge", "FT_GetQueueStatus", "FT_Write"}));
    EXPECT_EQ(device.WriteTexts(), Strings{"[I]"});
}

TEST_F(PodLinkTest, LatencyTimerAlreadyAtOneIsNotSetAgain) {
    device.latencyMs = 1;
    OpenPod();
    pod.Close();
    ASSERT_TRUE(pod.FindPod());
    EXPECT_EQ(pod.Open(), kPodOpenOk);
    EXPECT_EQ(device.CallCount("FT_SetLatencyTimer"), 0u);
}

TEST_F(PodLinkTest, OpenWhileOpenSendsNothing) {
    OpenPod();
    EXPECT_EQ(pod.Open(), kPodOpenOk);
    EXPECT_TRUE(device.calls.empty());
}

TEST_F(PodLinkTest, OpenWithoutFindingThePodIsAPortFailure) {
    ASSERT_TRUE(pod.LoadDriverLibrary());
    EXPECT_EQ(pod.Open(), kPodOpenPortFailure);
    EXPECT_EQ(device.CallCount("FT_OpenEx"), 0u);
}

TEST_F(PodLinkTest, SecondIdentifyTryOpensThePod) {
    device.ReplyWhen("I", "", 1);
    ASSERT_TRUE(pod.LoadDriverLibrary());
    ASSERT_TRUE(pod.FindPod());
    EXPECT_EQ(pod.Open(), kPodOpenOk);
    EXPECT_EQ(device.WriteTexts(), (Strings{"[I]", "[I]"}));
}

TEST_F(PodLinkTest, SilentPodIsNotOpenedAndItsHandleIsClosed) {
    device.ReplyWhen("I", "");
    ASSERT_TRUE(pod.LoadDriverLibrary());
    ASSERT_TRUE(pod.FindPod());
    EXPECT_EQ(pod.Open(), kPodOpenNoAnswer);
    EXPECT_FALSE(pod.IsOpen());
    EXPECT_FALSE(device.isOpen);
    EXPECT_EQ(device.calls.back(), "FT_Close");
    EXPECT_EQ(device.WriteTexts(), (Strings{"[I]", "[I]"}));
    // The handle is gone: nothing reaches the device any more.
    device.ClearRecords();
    EXPECT_FALSE(pod.Identify());
    EXPECT_TRUE(device.calls.empty());
}

class OpenStepFailure : public UsbPodFixture, public ::testing::WithParamInterface<const char*> {};

TEST_P(OpenStepFailure, IsAPortFailureAndClosesTheHandle) {
    device.FailCall(GetParam());
    ASSERT_TRUE(pod.LoadDriverLibrary());
    ASSERT_TRUE(pod.FindPod());
    EXPECT_EQ(pod.Open(), kPodOpenPortFailure);
    EXPECT_FALSE(pod.IsOpen());
    EXPECT_FALSE(device.isOpen);
    EXPECT_EQ(device.CallCount("FT_Write"), 0u);
}

INSTANTIATE_TEST_SUITE_P(EveryConfigurationCall, OpenStepFailure,
                         ::testing::Values("FT_ResetDevice", "FT_GetLatencyTimer",
                                           "FT_SetLatencyTimer", "FT_SetBaudRate",
                                           "FT_SetDataCharacteristics", "FT_SetFlowControl",
                                           "FT_SetTimeouts", "FT_Purge"),
                         [](const auto& info) { return std::string(info.param); });

TEST_F(PodLinkTest, FailedOpenExLeavesNothingToClose) {
    device.FailCall("FT_OpenEx");
    ASSERT_TRUE(pod.LoadDriverLibrary());
    ASSERT_TRUE(pod.FindPod());
    EXPECT_EQ(pod.Open(), kPodOpenPortFailure);
    EXPECT_EQ(device.CallCount("FT_Close"), 0u);
    EXPECT_TRUE(pod.Close());
}

TEST_F(PodLinkTest, CloseWithNothingOpenSucceedsSilently) {
    ASSERT_TRUE(pod.LoadDriverLibrary());
    EXPECT_TRUE(pod.Close());
    EXPECT_EQ(device.calls, Strings{"Load"});
}

TEST_F(PodLinkTest, ClosePurgesBothQueuesAndKeepsTheFoundFlag) {
    OpenPod();
    EXPECT_TRUE(pod.Close());
    EXPECT_EQ(device.calls, (Strings{"FT_Purge", "FT_Close"}));
    EXPECT_EQ(device.purgeMask, 3u);
    EXPECT_FALSE(pod.IsOpen());
    EXPECT_TRUE(pod.IsFound());
}

TEST_F(PodLinkTest, FailedCloseKeepsThePodOpen) {
    OpenPod();
    device.FailCall("FT_Close", 1);
    EXPECT_FALSE(pod.Close());
    EXPECT_TRUE(pod.IsOpen());
    EXPECT_TRUE(pod.Close());
    EXPECT_FALSE(pod.IsOpen());
}

TEST_F(PodLinkTest, DestructionClosesThePodBeforeReleasingTheLibrary) {
    auto owned = std::make_unique<CUsbPod>(library, clock, image);
    ASSERT_TRUE(owned->LoadDriverLibrary());
    ASSERT_TRUE(owned->FindPod());
    ASSERT_EQ(owned->Open(), kPodOpenOk);
    device.ClearRecords();
    owned.reset();
    EXPECT_EQ(device.calls, (Strings{"FT_Purge", "FT_Close", "Free"}));
}

TEST_F(PodLinkTest, ReleasingTheLibraryWhileOpenClosesFirst) {
    OpenPod();
    pod.FreeDriverLibrary();
    EXPECT_EQ(device.calls, (Strings{"FT_Purge", "FT_Close", "Free"}));
    EXPECT_FALSE(pod.IsOpen());
}

// --- WriteFrame ----------------------------------------------------------------------------

TEST_F(PodLinkTest, WriteWaitsForTheTransmitQueueToDrain) {
    OpenPod();
    device.txDrainPolls = 5;
    const char frame[] = "\x02I\x03";
    EXPECT_TRUE(pod.WriteFrame(frame, 3, 200));
    EXPECT_EQ(device.CallCount("FT_GetStatus"), 6u);
}

TEST_F(PodLinkTest, TransmitQueueThatNeverDrainsFailsAtTheDeadline) {
    OpenPod();
    device.txDrainPolls = -1;
    const char frame[] = "\x02I\x03";
    const std::uint64_t begin = NowMs();
    EXPECT_FALSE(pod.WriteFrame(frame, 3, 200));
    EXPECT_GE(NowMs() - begin, 200u);
    EXPECT_LE(NowMs() - begin, 202u);
}

TEST_F(PodLinkTest, WriteFailuresOfEveryKindAreReported) {
    OpenPod();
    const char frame[] = "\x02I\x03";
    device.FailCall("FT_Write", 1);
    EXPECT_FALSE(pod.WriteFrame(frame, 3, 200));
    device.FailCall("FT_GetStatus", 1);
    EXPECT_FALSE(pod.WriteFrame(frame, 3, 200));
    device.txDrainPolls = 3;
    device.FailCall("FT_GetStatus", 3);
    EXPECT_FALSE(pod.WriteFrame(frame, 3, 200));
    device.shortWrite = 2;
    EXPECT_FALSE(pod.WriteFrame(frame, 3, 200));
    EXPECT_TRUE(pod.IsOpen());  // the caller decides what a failed write means
}

// --- ReadReply -----------------------------------------------------------------------------

TEST_F(PodLinkTest, SilentPodTimesOutAtTheFirstEmptyPollAfterTheTimeOut) {
    OpenPod();
    std::uint8_t byte = 0;
    const std::uint64_t begin = NowMs();
    EXPECT_FALSE(pod.ReadReply(&byte, 1, 200));
    // Each empty FT_Read waits 200 ms; the 200 ms run from the first empty poll.
    EXPECT_GE(NowMs() - begin, 400u);
    EXPECT_LE(NowMs() - begin, 405u);
    EXPECT_EQ(device.CallCount("FT_Read"), 2u);
}

TEST_F(PodLinkTest, ReplyThatStopsEndsAfterAHundredMillisecondsOfSilence) {
    OpenPod();
    device.emptyReadMs = 5;
    device.Queue(std::string(10, 'a'));
    std::uint8_t buffer[28] = {};
    const std::uint64_t begin = NowMs();
    EXPECT_FALSE(pod.ReadReply(buffer, 28, 1000));
    EXPECT_GE(NowMs() - begin, 100u);
    EXPECT_LE(NowMs() - begin, 115u);
    EXPECT_EQ(trace.lines.back(),
              "< 61 61 61 61 61 61 61 61 61 61 (failed: time-out, 10 of 28 bytes)");
}

TEST_F(PodLinkTest, SlowBytesWithinTheSilenceLimitComplete) {
    OpenPod();
    device.Queue("!w0123456789", 150, 60);
    std::uint8_t buffer[12] = {};
    EXPECT_TRUE(pod.ReadReply(buffer, 12, 1000));
    EXPECT_EQ(std::string(buffer, buffer + 12), "!w0123456789");
}

TEST_F(PodLinkTest, ReplyLongerThanWantedIsNotStoredPastTheCount) {
    OpenPod();
    device.Queue("!!!!!!");
    std::uint8_t buffer[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_TRUE(pod.ReadReply(buffer, 2, 200));
    EXPECT_EQ(buffer[2], 0xEE);
    EXPECT_EQ(device.CallCount("FT_Read"), 2u);
}

TEST_F(PodLinkTest, CountsBeyondTheReplyBufferAndZeroTouchNothing) {
    OpenPod();
    std::vector<std::uint8_t> big(1000);
    EXPECT_FALSE(pod.ReadReply(big.data(), CUsbPod::kReplyBufferSize + 1, 200));
    EXPECT_TRUE(pod.ReadReply(big.data(), 0, 200));
    EXPECT_TRUE(device.calls.empty());
}

TEST_F(PodLinkTest, ReadErrorsFailAtOnce) {
    OpenPod();
    std::uint8_t buffer[2] = {};
    const std::uint64_t begin = NowMs();
    device.FailCall("FT_Read", 1);
    EXPECT_FALSE(pod.ReadReply(buffer, 1, 1000));
    device.Queue("!");
    device.FailCall("FT_GetQueueStatus", 1);
    EXPECT_FALSE(pod.ReadReply(buffer, 1, 1000));
    device.Queue("!!");
    device.FailCall("FT_Read", 4);  // the second byte of this reply
    EXPECT_FALSE(pod.ReadReply(buffer, 2, 1000));
    EXPECT_EQ(NowMs(), begin);
}

TEST_F(PodLinkTest, QueueReportingBytesThatNeverArriveCannotHoldTheRead) {
    OpenPod();
    device.phantomQueued = 1;
    std::uint8_t byte = 0;
    const std::uint64_t begin = NowMs();
    EXPECT_FALSE(pod.ReadReply(&byte, 1, 200));
    EXPECT_LE(NowMs() - begin, 1500u);
}

TEST_F(PodLinkTest, ReceiveQueueCountReportsWaitingBytes) {
    OpenPod();
    device.Queue("xyz");
    std::uint32_t waiting = 0;
    EXPECT_TRUE(pod.ReceiveQueueCount(waiting));
    EXPECT_EQ(waiting, 3u);
    device.FailCall("FT_GetQueueStatus");
    EXPECT_FALSE(pod.ReceiveQueueCount(waiting));
}

TEST_F(PodLinkTest, TraceShowsEveryWriteAndEveryReply) {
    OpenPod();
    EXPECT_TRUE(pod.Identify());
    device.ReplyWhen("R", "");
    EXPECT_FALSE(pod.ResetTarget());
    device.ReplyWhen("R", "?");
    EXPECT_FALSE(pod.ResetTarget());
    EXPECT_THAT(trace.lines, ElementsAre("> 02 49 03", "< 21", "> 02 52 03",
                                         "< (failed: time-out, 0 of 1 bytes)", "> 02 52 03",
                                         "< 3F (failed: not acknowledged)"));
}

}  // namespace
