// The measuring tools of the benchmarks: if they drift from the simulated pod or from the
// protocol, the figures in BENCHMARKS.md stop meaning what they say.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "Clock.h"
#include "FrameScanner.h"
#include "FullImage.h"
#include "InstantAckPod.h"
#include "PodRig.h"
#include "SFileImage.h"
#include "SimWorkTime.h"
#include "sim/SimTiming.h"
#include "sim/SimulatedPod.h"

namespace {

using Operation = PodRig::Operation;

class BenchImage : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        image_ = std::make_unique<SFileImage>();
        FullImage::Load(*image_);
    }
    static void TearDownTestSuite() { image_.reset(); }
    static const SFileImage& Image() { return *image_; }

private:
    static inline std::unique_ptr<SFileImage> image_;
};

// Runs the operation after whatever it needs first, with counts and logs from its start.
PodResult RunFresh(PodRig& rig, SimulatedPod& pod, Operation operation) {
    if (operation == Operation::PodVerify && rig.Run(Operation::PodWrite) != kPodOk) {
        return 0xFFFF;
    }
    rig.ResetCounts();
    pod.ClearLogs();
    return rig.Run(operation);
}

TEST(FrameScannerTest, ReportsFramesAcrossWritesAndResynchronisesOnStx) {
    FrameScanner scanner;
    std::string letters;
    const std::string stream = std::string("xx\x02I\x03") + "\x02T1" + "\x02W0501\x03" + "\x03";
    for (const char c : stream) {
        if (const char letter = scanner.Feed(static_cast<std::uint8_t>(c)); letter != 0) {
            letters += letter;
        }
    }
    // Noise before the first STX and a stray ETX are ignored; a cut frame is dropped.
    EXPECT_EQ(letters, "IW");
}

TEST(FrameScannerTest, OnlyTheAnsweredCommandsWaitForAReply) {
    for (const char letter : std::string("IRGMXWPVNQYZO")) {
        EXPECT_TRUE(FrameScanner::Acknowledged(letter)) << letter;
    }
    for (const char letter : std::string("STK?L")) {
        EXPECT_FALSE(FrameScanner::Acknowledged(letter)) << letter;
    }
}

TEST_F(BenchImage, FullImageFillsEveryRegionOfTheDsp56f807) {
    EXPECT_EQ(Image().Region(MemoryRegion::PFLASH).minAddress, 0x0004);
    EXPECT_EQ(Image().Region(MemoryRegion::PFLASH).maxAddress, 0x7FFF);
    EXPECT_EQ(Image().Region(MemoryRegion::P2FLASH).wordCount, 0x7000);
    EXPECT_EQ(Image().Region(MemoryRegion::BFLASH).wordCount, 0x0800);
    EXPECT_EQ(Image().Region(MemoryRegion::DFLASH).minAddress, 0x2000);
    std::uint32_t words = 0;
    for (const RegionImage& region : Image().regions) {
        words += region.wordCount;
    }
    EXPECT_EQ(words, FullImage::kWords);
    EXPECT_FALSE(Image().diagnostics.Any());
}

// The host must take the instant pod for a real one, or the CPU figures would time a failure.
TEST_F(BenchImage, InstantAckPodCarriesEveryOperationToSuccess) {
    VirtualClock clock;
    InstantAckPod device(Image());
    PodRig rig(device, clock, Image());
    ASSERT_TRUE(rig.Opened());
    for (const Operation operation :
         {Operation::TargetWriteVerify, Operation::PodWrite, Operation::PodVerify}) {
        EXPECT_EQ(rig.Run(operation), kPodOk) << PodRig::Name(operation);
        std::uint32_t waiting = 99;
        device.FT_GetQueueStatus(nullptr, &waiting);
        EXPECT_EQ(waiting, 0u) << PodRig::Name(operation);
    }
}

TEST_F(BenchImage, CountsAgreeWithWhatTheSimulatedPodReceived) {
    VirtualClock clock;
    SimulatedPod pod(clock);
    PodRig rig(pod, clock, Image());
    ASSERT_TRUE(rig.Opened());
    ASSERT_EQ(RunFresh(rig, pod, Operation::TargetWriteVerify), kPodOk);
    const CountingD2xxApi::Counts& wire = rig.Wire();
    EXPECT_EQ(wire.bytesWritten, pod.WrittenBytes().size());
    EXPECT_EQ(wire.frames, pod.FrameLog().size());
    // Every reply of a target sequence is the single byte "!".
    EXPECT_EQ(wire.repliedFrames, wire.bytesRead);
    // Writes take the wire time of their bytes, each rounded up to a whole microsecond.
    EXPECT_NEAR(static_cast<double>(wire.writeUs),
                static_cast<double>(SimTiming::WireUs(wire.bytesWritten, SimTiming::kPodBaud)),
                static_cast<double>(wire.frames));
}

// What the pod makes the host wait for inside its reads must be exactly the pod's working
// time, the replies' wire time and one latency period each; otherwise SimWorkTime no longer
// matches the simulated pod and the "without pod work" column is wrong.
TEST_F(BenchImage, WorkTimeAccountsForEveryWaitInsideTheReads) {
    for (const Operation operation :
         {Operation::TargetWriteVerify, Operation::PodWrite, Operation::PodVerify}) {
        VirtualClock clock;
        SimulatedPod pod(clock);
        PodRig rig(pod, clock, Image());
        ASSERT_TRUE(rig.Opened());
        ASSERT_EQ(RunFresh(rig, pod, operation), kPodOk) << PodRig::Name(operation);
        const CountingD2xxApi::Counts& wire = rig.Wire();
        const double expectedUs = static_cast<double>(SimWorkTime::TotalUs(pod.FrameLog())) +
                                  1000.0 * static_cast<double>(wire.repliedFrames) +
                                  static_cast<double>(wire.bytesRead) * SimTiming::kBitsPerByte *
                                      1e6 / SimTiming::kPodBaud;
        // Each reply's wire time is rounded up to a whole microsecond.
        EXPECT_NEAR(static_cast<double>(wire.readUs), expectedUs,
                    static_cast<double>(wire.repliedFrames))
            << PodRig::Name(operation);
    }
}

TEST(SimWorkTimeTest, ChargesEachFrameWhatThePodSpendsOnIt) {
    EXPECT_EQ(SimWorkTime::FrameUs("X0400007FF0", 0), SimTiming::kPageEraseUs);
    EXPECT_EQ(SimWorkTime::FrameUs("X060000F000", 0), SimTiming::kMassEraseUs);
    EXPECT_EQ(SimWorkTime::FrameUs("W0501000100F00012340400", 0),
              0x100 * SimTiming::kWordProgramUs);
    EXPECT_EQ(SimWorkTime::FrameUs("P0100", 120), 120 * SimTiming::kWordCompareUs);
    EXPECT_EQ(SimWorkTime::FrameUs("N000000084", 0), SimTiming::EepromWriteUs(2 * 0x84));
    // T frames and S collect words; P compares those since the last S.
    EXPECT_EQ(SimWorkTime::TotalUs({"S", "T0001", "T0002", "S", "T0003", "V2000"}),
              SimTiming::kWordCompareUs);
}

}  // namespace
