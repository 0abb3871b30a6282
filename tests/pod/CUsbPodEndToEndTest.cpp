#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "CUsbPod.h"
#include "Clock.h"
#include "RecordingDisplays.h"
#include "SFileImage.h"
#include "WireTrace.h"
#include "sim/SimulatedD2xxLibrary.h"
#include "sim/SimulatedPod.h"

// The driver against the simulated pod: every byte goes through the real protocol code on
// both sides, in virtual time.
namespace {

// Words that differ from page to page and from the erased value.
std::uint16_t Pattern(std::uint32_t address) {
    std::uint32_t x = address * 2654435761u;
    return static_cast<std::uint16_t>((x >> 16) ^ 0x5A5A);
}

class PodEndToEndTest : public ::testing::Test {
protected:
    explicit PodEndToEndTest(SimPace pace = SimPace::Instant) : sim(clock, pace) {}

    void SetUp() override {
        pod.SetIndicators(displays.status, displays.progress, displays.messageWindow);
        pod.SetLeds(displays.leds[0], displays.leds[1], displays.leds[2], displays.leds[3]);
        image.cpu = CpuType::DSP56F807;
        image.ApplyCpuMemoryMap();
        image.ClearImage();
    }

    // Fills a whole region of the memory map, as a file covering it would.
    void FillWholeRegion(MemoryRegion region) {
        const AddressArea& area = image.Area(region);
        RegionImage& words = image.Region(region);
        for (std::uint32_t a = area.start; a <= area.end; ++a) {
            words.words[a - area.start] = Pattern(a);
        }
        words.minAddress = static_cast<std::uint16_t>(area.start);
        words.maxAddress = static_cast<std::uint16_t>(area.end);
        words.wordCount = static_cast<std::uint16_t>(area.size);
        words.loaded = true;
    }

    void OpenPod() {
        ASSERT_TRUE(pod.LoadDriverLibrary());
        ASSERT_TRUE(pod.FindPod());
        ASSERT_EQ(pod.Open(), kPodOpenOk);
    }

    // Runs one operation and prints how long it took in simulated time.
    template <typename Operation>
    PodResult Timed(const char* name, Operation operation) {
        const std::uint64_t begin = clock.NowUs();
        const PodResult result = operation();
        std::printf("[ sim time ] %-26s %8.2f s\n", name, (clock.NowUs() - begin) / 1e6);
        return result;
    }

    bool TargetHoldsImage(MemoryRegion region) const {
        const AddressArea& area = image.Area(region);
        for (std::uint32_t a = area.start; a <= area.end; ++a) {
            const std::uint16_t onTarget =
                region == MemoryRegion::DFLASH ? sim.DataWord(a) : sim.ProgramWord(a);
            if (onTarget != image.WordAt(region, a)) {
                ADD_FAILURE() << RegionName(region) << " differs at 0x" << std::hex << a;
                return false;
            }
        }
        return true;
    }

    VirtualClock clock;
    SimulatedPod sim;
    SimulatedD2xxLibrary library{sim};
    SFileImage image;
    RecordingDisplays displays;
    CUsbPod pod{library, clock, image};
};

TEST_F(PodEndToEndTest, FullDsp56f807ImageIsWrittenVerifiedAndStoredInThePod) {
    for (MemoryRegion region : kAllRegions) {
        FillWholeRegion(region);
    }
    OpenPod();
    const RegionSelection all = {1, 1, 1, 1};

    EXPECT_EQ(
        Timed("Target Write && Verify", [&] { return pod.ProgramAndVerifyTarget(all, false); }),
        kPodOk);
    for (MemoryRegion region : kAllRegions) {
        EXPECT_TRUE(TargetHoldsImage(region));
    }
    EXPECT_EQ(displays.LedPattern(), "1111");
    EXPECT_EQ(Timed("Target Verify", [&] { return pod.VerifyTarget(all); }), kPodOk);
    EXPECT_EQ(Timed("POD Write", [&] { return pod.WritePodEeprom(false, true); }), kPodOk);
    EXPECT_EQ(Timed("POD Verify", [&] { return pod.VerifyPodEeprom(); }), kPodOk);
    EXPECT_EQ(displays.messages.size(), 7u);  // header, CPU, option and four region lines
    EXPECT_TRUE(pod.Close());
}

TEST_F(PodEndToEndTest, ChangedTargetWordFailsTheVerify) {
    FillWholeRegion(MemoryRegion::DFLASH);
    OpenPod();
    const RegionSelection dataOnly = {0, 0, 0, 1};
    ASSERT_EQ(pod.ProgramTarget(dataOnly, false), kPodOk);
    image.Region(MemoryRegion::DFLASH).words[0x123] ^= 0x0100;
    EXPECT_EQ(pod.VerifyTarget(dataOnly), kTargetDflashVerifyError);
    EXPECT_EQ(displays.LedPattern(), "R111");  // lamps 2-4 from the earlier success
}

// The pod in real-time pace: the transmit queue drains with the wire time, so the
// driver's transmit poll has to let the clock move.
class PodRealTimeEndToEndTest : public PodEndToEndTest {
protected:
    PodRealTimeEndToEndTest() : PodEndToEndTest(SimPace::RealTime) {}
};

TEST_F(PodRealTimeEndToEndTest, BootFlashIsWrittenAndVerifiedWithWireTimes) {
    FillWholeRegion(MemoryRegion::BFLASH);
    OpenPod();
    const RegionSelection bootOnly = {0, 0, 1, 0};
    EXPECT_EQ(Timed("BFLASH write, real-time pace",
                    [&] { return pod.ProgramAndVerifyTarget(bootOnly, true); }),
              kPodOk);
    EXPECT_TRUE(TargetHoldsImage(MemoryRegion::BFLASH));
}

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
