// The pod driver over each USB backend, with the simulated pod underneath: the libftdi1
// backend on a fake USB bus, and the vendor-library backend loading a test library through
// the real dlopen path. Both must behave as the simulated pod does when the driver uses it
// directly.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "CUsbPod.h"
#include "Clock.h"
#include "SFileImage.h"
#include "TestD2xxAttachment.h"
#include "VendorD2xxLibrary.h"
#include "sim/SimulatedD2xxLibrary.h"
#include "sim/SimulatedPod.h"
#ifdef VANTIX_HAVE_LIBFTDI
#include "FakeFtdiBus.h"
#include "LibFtdiLibrary.h"
#include "TestPaths.h"
#else
class FakeFtdiBus;
#endif

namespace {

enum class Backend { Simulated, LibFtdi, VendorLibrary };

std::string BackendName(const testing::TestParamInfo<Backend>& info) {
    switch (info.param) {
        case Backend::Simulated:
            return "SimulatedPodDirectly";
        case Backend::LibFtdi:
            return "LibFtdi";
        default:
            return "VendorLibrary";
    }
}

void PrintTo(Backend backend, std::ostream* out) {
    *out << BackendName(testing::TestParamInfo<Backend>(backend, 0));
}

class BackendProtocol : public testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        switch (GetParam()) {
            case Backend::Simulated:
                library = std::make_unique<SimulatedD2xxLibrary>(sim);
                break;
            case Backend::LibFtdi:
#ifdef VANTIX_HAVE_LIBFTDI
                library = std::make_unique<LibFtdiLibrary>(clock, [this](std::string&) {
                    auto made = std::make_unique<FakeFtdiBus>(sim);
                    bus = made.get();
                    return made;
                });
#endif
                break;
            case Backend::VendorLibrary:
                attachment = std::make_unique<TestD2xxAttachment>(VANTIX_TEST_D2XX_LIBRARY, sim);
                ASSERT_TRUE(attachment->Attached());
                library = std::make_unique<VendorD2xxLibrary>(
                    std::vector<std::string>{VANTIX_TEST_D2XX_LIBRARY});
                break;
        }
        pod = std::make_unique<CUsbPod>(*library, clock, image);
        image.cpu = CpuType::DSP56F807;
        image.ApplyCpuMemoryMap();
        image.ClearImage();
    }

    void OpenPod() {
        ASSERT_TRUE(pod->LoadDriverLibrary()) << library->LastError();
        ASSERT_TRUE(pod->FindPod());
        ASSERT_EQ(pod->Open(), kPodOpenOk);
    }

    // Loads first..last of a region as a file would.
    void Fill(MemoryRegion region, std::uint32_t first, std::uint32_t last) {
        RegionImage& words = image.Region(region);
        const std::uint32_t start = image.Area(region).start;
        for (std::uint32_t a = first; a <= last; ++a) {
            words.words[a - start] = Word(a);
        }
        words.minAddress = static_cast<std::uint16_t>(first);
        words.maxAddress = static_cast<std::uint16_t>(last);
        words.wordCount = static_cast<std::uint16_t>(last - first + 1);
        words.loaded = true;
    }

    static std::uint16_t Word(std::uint32_t address) {
        return static_cast<std::uint16_t>(address * 13 + 0x0A5A);
    }

    std::uint64_t NowMs() const {
        return clock.NowUs() / 1000;
    }

    VirtualClock clock;
    SimulatedPod sim{clock};
    FakeFtdiBus* bus = nullptr;
    std::unique_ptr<TestD2xxAttachment> attachment;
    std::unique_ptr<D2xxLibrary> library;
    SFileImage image;
    std::unique_ptr<CUsbPod> pod;  // last: goes first, while its library still lives

    void TearDown() override {
        pod.reset();
    }
};

TEST_P(BackendProtocol, FindsOpensAndIdentifiesThePodAmongOtherDevices) {
    sim.Faults().devices = {"USB POD2", "FT232R USB UART", "USB POD"};
    OpenPod();
    EXPECT_STREQ(pod->Description(), "USB POD");
    EXPECT_EQ(sim.OpenedDescription(), "USB POD");
    ASSERT_FALSE(sim.FrameLog().empty());
    EXPECT_EQ(sim.FrameLog().back(), "I");
    // The bridge was set up as the pod hears it.
    EXPECT_EQ(sim.LinkSettings().baud, 921600u);
    EXPECT_EQ(sim.LinkSettings().dataBits, 8);
    EXPECT_EQ(sim.LinkSettings().latencyMs, 1);
    EXPECT_TRUE(pod->Close());
    EXPECT_FALSE(sim.IsOpen());
}

TEST_P(BackendProtocol, ProgramsAndVerifiesASmallImage) {
    const std::uint32_t pflash = image.Area(MemoryRegion::PFLASH).start;
    const std::uint32_t dflash = image.Area(MemoryRegion::DFLASH).start;
    Fill(MemoryRegion::PFLASH, pflash + 0x10, pflash + 0x16F);  // crosses a 256-word page
    Fill(MemoryRegion::DFLASH, dflash, dflash + 0x1F);
    OpenPod();

    const RegionSelection selection = {1, 0, 0, 1};
    EXPECT_EQ(pod->ProgramAndVerifyTarget(selection, false), kPodOk);
    for (std::uint32_t a = pflash + 0x10; a <= pflash + 0x16F; ++a) {
        ASSERT_EQ(sim.ProgramWord(a), Word(a)) << std::hex << a;
    }
    for (std::uint32_t a = dflash; a <= dflash + 0x1F; ++a) {
        ASSERT_EQ(sim.DataWord(a), Word(a)) << std::hex << a;
    }
    EXPECT_TRUE(pod->Close());
}

TEST_P(BackendProtocol, SilentPodFailsOpenAfterTheReadTimeOuts) {
    sim.Faults().SilenceReply('I', 1);
    sim.Faults().SilenceReply('I', 2);
    ASSERT_TRUE(pod->LoadDriverLibrary());
    ASSERT_TRUE(pod->FindPod());
    const std::uint64_t start = NowMs();
    EXPECT_EQ(pod->Open(), kPodOpenNoAnswer);
    // Two identify tries, each waiting about 400 ms for its silent reply.
    EXPECT_GE(NowMs() - start, 700u);
    EXPECT_LT(NowMs() - start, 1500u);
    EXPECT_FALSE(pod->IsOpen());
    EXPECT_FALSE(sim.IsOpen());
}

TEST_P(BackendProtocol, ReplyReadTimesOutOnASilentPod) {
    OpenPod();
    std::uint8_t reply[4] = {};
    const std::uint64_t start = NowMs();
    EXPECT_FALSE(pod->ReadReply(reply, 1, 200));
    EXPECT_GE(NowMs() - start, 200u);
    EXPECT_LT(NowMs() - start, 600u);
    // The pod still answers afterwards.
    EXPECT_TRUE(pod->Identify());
}

TEST_P(BackendProtocol, PodVanishingMidRunGivesErrorsWithoutHanging) {
    const std::uint32_t pflash = image.Area(MemoryRegion::PFLASH).start;
    Fill(MemoryRegion::PFLASH, pflash, pflash + 0x3FF);
    OpenPod();
    sim.Faults().UnplugAtCall(sim.Counters().calls + 60);

    const std::uint64_t start = NowMs();
    const PodResult result = pod->ProgramAndVerifyTarget({1, 0, 0, 0}, false);
    EXPECT_NE(result, kPodOk);
    // Errors, not waits: nothing near the sum of the 3000 ms reply time-outs.
    EXPECT_LT(NowMs() - start, 5000u);
    pod->Close();
    if (GetParam() == Backend::LibFtdi) {
        // The gone device is released anyway, so the driver is not stuck "open".
        EXPECT_FALSE(pod->IsOpen());
        EXPECT_NE(library->LastError().find("is gone"), std::string::npos) << library->LastError();
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, BackendProtocol,
                         testing::Values(Backend::Simulated,
#ifdef VANTIX_HAVE_LIBFTDI
                                         Backend::LibFtdi,
#endif
                                         Backend::VendorLibrary),
                         BackendName);

}  // namespace
