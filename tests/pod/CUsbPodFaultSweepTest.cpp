#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "UsbPodFixture.h"

// A pod pulled at any moment: every D2XX call from the n-th on fails. Whatever n is, the
// driver must come back promptly with a failure, never hang and never report success.
namespace {

struct Rig {
    Rig() {
        pod.SetIndicators(displays.status, displays.progress, displays.messageWindow);
        pod.SetLeds(displays.leds[0], displays.leds[1], displays.leds[2], displays.leds[3]);
        image.cpu = CpuType::DSP56F807;
        image.ApplyCpuMemoryMap();
        image.ClearImage();
        FillRegion(MemoryRegion::PFLASH, 0x00F0, 0x0180);
        FillRegion(MemoryRegion::P2FLASH, 0x8000, 0x8010);
        FillRegion(MemoryRegion::BFLASH, 0xF800, 0xF803);
        FillRegion(MemoryRegion::DFLASH, 0x2000, 0x2100);
        // The info record that matches the image above.
        std::string record = {'!', 'w', 3, 0};
        for (MemoryRegion region : kAllRegions) {
            const RegionImage& r = image.Region(region);
            for (std::uint16_t v : {r.minAddress, r.maxAddress, r.wordCount}) {
                record += static_cast<char>(v & 0xFF);
                record += static_cast<char>(v >> 8);
            }
        }
        device.ReplyWhen("O", record);
    }
    void FillRegion(MemoryRegion region, std::uint32_t first, std::uint32_t last) {
        RegionImage& r = image.Region(region);
        for (std::uint32_t a = first; a <= last; ++a) {
            r.words[a - image.Area(region).start] = static_cast<std::uint16_t>(a);
        }
        r.minAddress = static_cast<std::uint16_t>(first);
        r.maxAddress = static_cast<std::uint16_t>(last);
        r.wordCount = static_cast<std::uint16_t>(last - first + 1);
        r.loaded = true;
    }
    bool Open() { return pod.LoadDriverLibrary() && pod.FindPod() && pod.Open() == kPodOpenOk; }

    VirtualClock clock;
    ScriptedD2xx device{clock};
    ScriptedLibrary library{device};
    SFileImage image;
    RecordingDisplays displays;
    CUsbPod pod{library, clock, image};
};

using Sequence = std::function<std::uint16_t(CUsbPod&)>;

// Runs the sequence once cleanly to count its calls, then once per call with the pod
// pulled at that call.
void Sweep(const Sequence& sequence) {
    std::size_t calls = 0;
    std::uint64_t cleanUs = 0;
    {
        Rig rig;
        ASSERT_TRUE(rig.Open());
        rig.device.ClearRecords();
        const std::uint64_t begin = rig.clock.NowUs();
        ASSERT_EQ(sequence(rig.pod), 0);
        calls = rig.device.calls.size();
        cleanUs = rig.clock.NowUs() - begin;
    }
    ASSERT_GT(calls, 0u);
    for (std::size_t n = 0; n < calls; ++n) {
        auto rig = std::make_unique<Rig>();
        ASSERT_TRUE(rig->Open());
        rig->device.ClearRecords();
        rig->device.FailFromCall(n);
        const std::uint64_t begin = rig->clock.NowUs();
        EXPECT_NE(sequence(rig->pod), 0) << "pulled at call " << n;
        // A dead device costs no waiting of its own.
        EXPECT_LE(rig->clock.NowUs() - begin, cleanUs) << "pulled at call " << n;
        rig->pod.Close();
        EXPECT_LT(rig->device.calls.size(), calls + 8) << "pulled at call " << n;
    }
}

TEST(UsbPodFaultSweepTest, ProgramAndVerifyTarget) {
    Sweep([](CUsbPod& pod) { return pod.ProgramAndVerifyTarget({1, 1, 1, 1}, false); });
}

TEST(UsbPodFaultSweepTest, VerifyTarget) {
    Sweep([](CUsbPod& pod) { return pod.VerifyTarget({1, 1, 1, 1}); });
}

TEST(UsbPodFaultSweepTest, WritePodEeprom) {
    Sweep([](CUsbPod& pod) { return pod.WritePodEeprom(true, true); });
}

TEST(UsbPodFaultSweepTest, VerifyPodEeprom) {
    Sweep([](CUsbPod& pod) { return pod.VerifyPodEeprom(); });
}

TEST(UsbPodFaultSweepTest, OpenFailsAsAPortFailureOrASilentPod) {
    std::size_t calls = 0;
    {
        Rig rig;
        ASSERT_TRUE(rig.pod.LoadDriverLibrary());
        rig.device.ClearRecords();
        ASSERT_TRUE(rig.pod.FindPod());
        ASSERT_EQ(rig.pod.Open(), kPodOpenOk);
        calls = rig.device.calls.size();
    }
    for (std::size_t n = 0; n < calls; ++n) {
        Rig rig;
        ASSERT_TRUE(rig.pod.LoadDriverLibrary());
        rig.device.ClearRecords();
        rig.device.FailFromCall(n);
        const bool found = rig.pod.FindPod();
        const PodOpenResult result = rig.pod.Open();
        EXPECT_TRUE(!found ? result == kPodOpenPortFailure
                           : result == kPodOpenPortFailure || result == kPodOpenNoAnswer)
            << "pulled at call " << n;
        EXPECT_FALSE(rig.pod.IsOpen());
        EXPECT_LE(rig.clock.NowUs(), 1000u * 1000u);
    }
}

}  // namespace
