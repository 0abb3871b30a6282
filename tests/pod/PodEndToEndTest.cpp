#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>

#include "CUsbPod.h"
#include "Clock.h"
#include "D2xxLibrary.h"
#include "RecordingDisplays.h"
#include "SFileImage.h"
#include "sim/SimulatedPod.h"

// The driver against the simulated pod: every byte goes through the real protocol code on
// both sides, in virtual time.
namespace {

class SimLibrary : public D2xxLibrary {
public:
    explicit SimLibrary(SimulatedPod& pod) : pod_(pod) {}
    D2xxApi* Load() override { return &pod_; }
    void Free() override {}
    const char* Name() const override { return "simulated pod"; }

private:
    SimulatedPod& pod_;
};

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
    SimLibrary library{sim};
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

}  // namespace
