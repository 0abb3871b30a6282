#include <gtest/gtest.h>

#include <cstring>

#include "SimPodHarness.h"
#include "sim/SimulatedD2xxLibrary.h"

namespace {

std::vector<std::string> ListedDescriptions(SimulatedPod& pod) {
    std::uint32_t count = 0;
    EXPECT_EQ(pod.FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    std::vector<std::string> out;
    for (std::uintptr_t i = 0; i < count; ++i) {
        char text[kFtDescriptionSize] = {};
        EXPECT_EQ(pod.FT_ListDevices(reinterpret_cast<void*>(i), text,
                                     FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION),
                  FT_OK);
        out.emplace_back(text);
    }
    return out;
}

TEST(SimDevices, ListAndOpenByExactDescription) {
    SimPodHarness h;
    EXPECT_EQ(ListedDescriptions(h.pod), std::vector<std::string>{"USB POD"});

    h.pod.Faults().devices = {"FT232R USB UART", "USB POD"};
    EXPECT_EQ(ListedDescriptions(h.pod), h.pod.Faults().devices);
    ASSERT_TRUE(h.Open("USB POD"));
    EXPECT_EQ(h.pod.OpenedDescription(), "USB POD");
    EXPECT_EQ(h.Command("I"), "!");
    ASSERT_EQ(h.pod.FT_Close(h.handle), FT_OK);
    EXPECT_EQ(h.pod.FT_Write(h.handle, "x", 1, nullptr), FT_INVALID_HANDLE);  // stale handle

    // Another kind of device takes the bytes and never answers.
    ASSERT_TRUE(h.Open("FT232R USB UART"));
    EXPECT_EQ(h.Command("I"), "");
    h.pod.FT_Close(h.handle);

    h.pod.Faults().devices = {"USB POD2", "usb pod"};
    EXPECT_FALSE(h.Open("USB POD"));
    EXPECT_EQ(h.handle, nullptr);
    h.pod.Faults().devices.clear();
    std::uint32_t count = 99;
    h.pod.FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY);
    EXPECT_EQ(count, 0u);
}

TEST(SimDevices, PodHearsNothingUntilTheLineIsSetUp) {
    SimPodHarness h;
    ASSERT_EQ(h.pod.FT_OpenEx(const_cast<char*>("USB POD"), FT_OPEN_BY_DESCRIPTION, &h.handle),
              FT_OK);
    EXPECT_EQ(h.Command("I"), "");  // 9600 baud after opening
    h.pod.FT_SetBaudRate(h.handle, 921600);
    h.pod.FT_SetDataCharacteristics(h.handle, FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_NONE);
    h.pod.FT_SetFlowControl(h.handle, FT_FLOW_NONE, 0, 0);
    EXPECT_EQ(h.Command("I"), "");  // the time-outs are not set yet
    h.pod.FT_SetTimeouts(h.handle, 200, 200);
    EXPECT_EQ(h.Command("I"), "!");
    EXPECT_EQ(h.pod.Counters().linkRefusals, 2);
}

TEST(SimDevices, LibraryHandsOutThePodOrIsMissing) {
    VirtualClock clock;
    SimulatedPod pod(clock);
    SimulatedD2xxLibrary library(pod);
    EXPECT_EQ(library.Load(), &pod);
    library.SetMissing(true);
    EXPECT_EQ(library.Load(), nullptr);
    EXPECT_FALSE(library.LastError().empty());
}

// Identify: 3 bytes out, the pod answers at once, 1 byte back, then the 1 ms latency flush.
TEST(SimTiming, FrameAndAcknowledgementCostWireTimeAndOneLatencyPeriod) {
    SimPodHarness h;
    ASSERT_TRUE(h.Open());
    const std::uint64_t t0 = h.clock.NowUs();
    ASSERT_EQ(h.Write(SimPodHarness::Frame("I")), FT_OK);
    EXPECT_EQ(h.clock.NowUs() - t0, 33u);  // 3 x 10.85 us, rounded up
    std::uint32_t rx = 9, tx = 9, events = 0;
    h.pod.FT_GetStatus(h.handle, &rx, &tx, &events);
    EXPECT_EQ(tx, 0u);
    EXPECT_EQ(rx, 0u);  // not flushed by the bridge yet
    EXPECT_EQ(h.Read(), "!");
    EXPECT_EQ(h.clock.NowUs() - t0, 33u + 11u + 1000u);
}

TEST(SimTiming, PodWorkAndTheLatencyTimerDelayReplies) {
    SimPodHarness h;
    ASSERT_TRUE(h.Open());
    ASSERT_TRUE(h.EnterProgramming(2, 0x7E00));
    std::uint64_t t0 = h.clock.NowUs();
    ASSERT_EQ(h.Command("X0400007E00"), "!");
    EXPECT_EQ(h.clock.NowUs() - t0,
              SimTiming::WireUs(13, 921600) + SimTiming::kPageEraseUs + 11 + 1000);

    h.pod.FT_SetLatencyTimer(h.handle, 16);
    t0 = h.clock.NowUs();
    ASSERT_EQ(h.Command("I"), "!");
    EXPECT_EQ(h.clock.NowUs() - t0, 33u + 11u + 16000u);
}

// A silent pod costs each read its full read time-out, as the blocking vendor call does.
TEST(SimTiming, ReadWithNothingComingWaitsTheReadTimeout) {
    SimPodHarness h;
    ASSERT_TRUE(h.Open());
    std::uint64_t t0 = h.clock.NowUs();
    EXPECT_EQ(h.Read(), "");
    EXPECT_EQ(h.clock.NowUs() - t0, 200'000u);
    h.pod.FT_SetTimeouts(h.handle, 200, 200);
    t0 = h.clock.NowUs();
    EXPECT_EQ(h.Command("O", 40).size(), 28u);  // 40 never come: what is there at the time-out
    EXPECT_EQ(h.clock.NowUs() - t0, SimTiming::WireUs(3, 921600) + 200'000u);
}

// Real-time pace on a virtual clock: writes leave the transmit queue by their wire time and
// reads sleep in 1 ms steps until the reply is there.
TEST(SimTiming, RealTimePaceLetsTimePassOnItsOwn) {
    VirtualClock clock;
    SimulatedPod pod(clock, SimPace::RealTime);
    EXPECT_EQ(pod.Pace(), SimPace::RealTime);
    FT_HANDLE handle = nullptr;
    ASSERT_EQ(pod.FT_OpenEx(const_cast<char*>("USB POD"), FT_OPEN_BY_DESCRIPTION, &handle), FT_OK);
    pod.FT_SetBaudRate(handle, 921600);
    pod.FT_SetDataCharacteristics(handle, FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_NONE);
    pod.FT_SetFlowControl(handle, FT_FLOW_NONE, 0, 0);
    pod.FT_SetTimeouts(handle, 200, 200);
    pod.FT_SetLatencyTimer(handle, 1);
    const std::string batch(300, 'x');  // noise to the pod, 3.3 ms on the wire
    std::uint32_t written = 0;
    ASSERT_EQ(pod.FT_Write(handle, batch.data(), 300, &written), FT_OK);
    std::uint32_t rx = 0, tx = 0, events = 0;
    pod.FT_GetStatus(handle, &rx, &tx, &events);
    EXPECT_EQ(tx, 300u);
    clock.SleepMs(2);
    pod.FT_GetStatus(handle, &rx, &tx, &events);
    EXPECT_GT(tx, 0u);
    EXPECT_LT(tx, 300u);
    clock.SleepMs(2);
    pod.FT_GetStatus(handle, &rx, &tx, &events);
    EXPECT_EQ(tx, 0u);

    const std::uint32_t start = clock.TickMs();
    ASSERT_EQ(pod.FT_Write(handle, "\x02R\x03", 3, &written), FT_OK);
    char reply = 0;
    std::uint32_t got = 0;
    ASSERT_EQ(pod.FT_Read(handle, &reply, 1, &got), FT_OK);
    EXPECT_EQ(got, 1u);
    EXPECT_EQ(reply, '!');
    const std::uint32_t took = clock.TickMs() - start;
    EXPECT_GE(took, 11u);  // 10 ms reset + latency
    EXPECT_LE(took, 13u);
}

TEST(SimFaults, ScriptedRepliesHitTheKthCommandOfALetter) {
    SimPodHarness h;
    auto& faults = h.pod.Faults();
    faults.IgnoreFirstIdentify();
    faults.WrongReply('I', 3, '#');
    faults.LateReply('R', 1, 500);
    ASSERT_TRUE(h.Open());
    EXPECT_EQ(h.Command("I"), "");
    EXPECT_EQ(h.Command("I"), "!");
    EXPECT_EQ(h.Command("I"), "#");
    EXPECT_EQ(h.Command("I"), "!");
    // Late: a 200 ms read misses it; it arrives 500 ms after the normal 10 ms.
    const std::uint64_t t0 = h.clock.NowUs();
    EXPECT_EQ(h.Command("R"), "");
    EXPECT_EQ(h.Read(), "");
    EXPECT_EQ(h.Read(), "!");
    EXPECT_EQ(h.clock.NowUs() - t0, 33u + 10'000u + 500'000u + 11u + 1000u);
    EXPECT_EQ(h.Command("R"), "!");
}

TEST(SimFaults, ObjectionAfterTheNthBatchOfWords) {
    SimPodHarness h;
    h.pod.Faults().objectAfterTBatch = 2;
    ASSERT_TRUE(h.Open());
    h.Stream({1, 2});
    EXPECT_EQ(h.Queued(), 0u);
    h.Stream({3});
    EXPECT_EQ(h.Queued(), 1u);
    EXPECT_EQ(h.pod.Counters().tBatches, 2);
}

TEST(SimFaults, FailingCallAndUnpluggedPod) {
    SimPodHarness h;
    h.pod.Faults().FailCall(8);  // calls 1-6 open and set up the line
    ASSERT_TRUE(h.Open());
    EXPECT_EQ(h.Write(SimPodHarness::Frame("I")), FT_OK);        // call 7
    EXPECT_EQ(h.Write(SimPodHarness::Frame("I")), FT_IO_ERROR);  // call 8
    EXPECT_EQ(h.Read(), "!");                                    // call 9: back to normal

    h.pod.Faults().UnplugAtCall(h.pod.Counters().calls + 2);
    EXPECT_EQ(h.Write(SimPodHarness::Frame("I")), FT_OK);
    EXPECT_EQ(h.Write(SimPodHarness::Frame("I")), FT_IO_ERROR);
    std::uint32_t n = 0;
    EXPECT_EQ(h.pod.FT_GetQueueStatus(h.handle, &n), FT_IO_ERROR);
    EXPECT_EQ(h.pod.FT_Close(h.handle), FT_IO_ERROR);
}

TEST(SimFaults, InitialLatencyCountersAndFrameLog) {
    SimPodHarness h;
    h.pod.Faults().initialLatencyMs = 1;
    ASSERT_EQ(h.pod.FT_OpenEx(const_cast<char*>("USB POD"), FT_OPEN_BY_DESCRIPTION, &h.handle),
              FT_OK);
    std::uint8_t latency = 0;
    h.pod.FT_GetLatencyTimer(h.handle, &latency);
    EXPECT_EQ(latency, 1);
    h.pod.FT_SetBaudRate(h.handle, 921600);
    h.pod.FT_SetDataCharacteristics(h.handle, FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_NONE);
    h.pod.FT_SetFlowControl(h.handle, FT_FLOW_NONE, 0, 0);
    h.pod.FT_SetTimeouts(h.handle, 200, 200);
    h.Write(SimPodHarness::Frame("W0501000100F00012340400") + SimPodHarness::Frame("T12"));
    EXPECT_EQ(h.pod.FrameLog(), (std::vector<std::string>{"W0501000100F00012340400", "!bad:T12"}));
    h.pod.FT_Purge(h.handle, FT_PURGE_RX | FT_PURGE_TX);
    h.pod.FT_Close(h.handle);
    EXPECT_EQ(h.pod.Counters().purges, 1);
    EXPECT_EQ(h.pod.Counters().lastPurgeMask, 3u);
    EXPECT_EQ(h.pod.Counters().closes, 1);
    EXPECT_EQ(h.pod.Counters().malformedFrames, 1);
}

// Purging drops what has arrived; closing drops everything waiting.
TEST(SimFaults, PurgeAndCloseEmptyTheReceiveQueue) {
    SimPodHarness h;
    ASSERT_TRUE(h.Open());
    h.Write(SimPodHarness::Frame("I"));
    h.clock.SleepMs(5);
    EXPECT_EQ(h.Queued(), 1u);
    h.pod.FT_Purge(h.handle, FT_PURGE_RX);
    EXPECT_EQ(h.Queued(), 0u);
    h.Write(SimPodHarness::Frame("I"));
    h.pod.FT_Close(h.handle);
    ASSERT_TRUE(h.Open());
    h.clock.SleepMs(5);
    EXPECT_EQ(h.Queued(), 0u);
}

}  // namespace
