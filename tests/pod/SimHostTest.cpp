#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CUsbPod.h"
#include "Clock.h"
#include "SFileImage.h"
#include "WireTrace.h"
#include "sim/SimulatedD2xxLibrary.h"
#include "sim/SimulatedPod.h"

namespace {

// The host driver over the simulated pod: both ends of the protocol run for real.
TEST(SimHost, ProgramAndVerifyThroughTheDriverLeavesTheImageOnTheTarget) {
    VirtualClock clock;
    SimulatedPod sim(clock);
    SimulatedD2xxLibrary library(sim);
    SFileImage image;
    image.cpu = CpuType::DSP56F807;
    image.ApplyCpuMemoryMap();
    // Boot flash across two pages (page fields 0x78 and 0x79) and three data flash words.
    image.ReadSRecordText(
        "S3150000F8FC2211443366558877AA99CCBBEEDD0F0F00\n"
        "S30B0020200001000200030000\n");
    ASSERT_TRUE(image.IsPresent(MemoryRegion::BFLASH));
    ASSERT_TRUE(image.IsPresent(MemoryRegion::DFLASH));
    // Leftovers in a page the write erases, and a word outside every erased page.
    sim.Target().SetProgramWord(0xF800, 0x0000);
    sim.Target().SetProgramWord(0xFF00, 0x0000);

    CUsbPod pod(library, clock, image);
    ASSERT_TRUE(pod.LoadDriverLibrary());
    ASSERT_TRUE(pod.FindPod());
    ASSERT_EQ(pod.Open(), kPodOpenOk);
    EXPECT_EQ(sim.LinkSettings().latencyMs, 1);

    EXPECT_EQ(pod.ProgramAndVerifyTarget({0, 0, 1, 1}, false), kPodOk);
    const auto& boot = image.Region(MemoryRegion::BFLASH);
    for (std::uint32_t a = boot.minAddress; a <= boot.maxAddress; ++a) {
        EXPECT_EQ(sim.ProgramWord(a), image.WordAt(MemoryRegion::BFLASH, a)) << std::hex << a;
    }
    for (std::uint32_t a = 0x2000; a <= 0x2002; ++a) {
        EXPECT_EQ(sim.DataWord(a), image.WordAt(MemoryRegion::DFLASH, a)) << std::hex << a;
    }
    EXPECT_EQ(sim.ProgramWord(0xF800), 0xFFFF);
    EXPECT_EQ(sim.ProgramWord(0xFF00), 0x0000);
    EXPECT_TRUE(pod.Close());
    EXPECT_EQ(sim.Counters().closes, 1);
}

struct Lines : WireTrace {
    void Line(const std::string& line) override { lines.push_back(line); }
    std::vector<std::string> lines;
};

// A reply that comes after its time-out must not answer the frame after it. The first
// identify's "!" comes after the host has given up (and thrown away what was waiting): the
// retry takes it, its own stays behind, and the next command is not sent but fails as
// itself, with a remark in the trace.
TEST(SimHost, LateIdentifyNeverAnswersALaterCommand) {
    VirtualClock clock;
    SimulatedPod sim(clock);
    sim.Faults().LateReply('I', 1, 600);
    SimulatedD2xxLibrary library(sim);
    SFileImage image;
    image.cpu = CpuType::DSP56F807;
    image.ApplyCpuMemoryMap();
    image.ReadSRecordText("S30B0020200001000200030000\n");
    Lines trace;
    CUsbPod pod(library, clock, image);
    pod.SetWireTrace(&trace);
    ASSERT_TRUE(pod.LoadDriverLibrary());
    ASSERT_TRUE(pod.FindPod());
    ASSERT_EQ(pod.Open(), kPodOpenOk);
    EXPECT_EQ(sim.Counters().purges, 2);  // the open's, and the one before the retry
    EXPECT_EQ(pod.ProgramAndVerifyTarget({0, 0, 0, 1}, false), kTargetDebugModeError);
    EXPECT_EQ(trace.lines.back(), "# 1 stale byte waiting before G");
    EXPECT_EQ(sim.FrameLog(), (std::vector<std::string>{"I", "I"}));
}

}  // namespace
