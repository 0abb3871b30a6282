// Which library the program gets, the fallback between the two USB libraries, the device
// listing for a "list" command, and one run of the real libftdi1 backend on this machine.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "AttachedDevices.h"
#include "BackendSelection.h"
#include "CUsbPod.h"
#include "Clock.h"
#include "FallbackD2xxLibrary.h"
#include "SFileImage.h"
#include "TestD2xxAttachment.h"
#include "sim/SimulatedD2xxLibrary.h"
#include "sim/SimulatedPod.h"
#ifdef VANTIX_HAVE_LIBFTDI
#include "FakeFtdiBus.h"
#include "LibFtdiLibrary.h"
#include "TestPaths.h"
#endif

using testing::HasSubstr;

namespace {

// A library that loads or not, as the test says.
class StubLibrary final : public D2xxLibrary {
public:
    StubLibrary(const char* name, D2xxApi* api, std::string error)
        : name_(name), api_(api), error_(std::move(error)) {}
    D2xxApi* Load() override {
        ++loads;
        return api_;
    }
    void Free() override { ++frees; }
    const char* Name() const override { return name_; }
    std::string LastError() const override { return error_; }

    int loads = 0;
    int frees = 0;

private:
    const char* name_;
    D2xxApi* api_;
    std::string error_;
};

std::string TempPath(const char* name) {
    return (std::filesystem::path(testing::TempDir()) / name).string();
}

TEST(FallbackLibrary, PreferredLibraryWinsWhenItLoads) {
    VirtualClock clock;
    SimulatedPod pod{clock};
    auto preferred = std::make_unique<StubLibrary>("vendor D2XX", &pod, "");
    auto fallback = std::make_unique<StubLibrary>("libftdi1", &pod, "");
    StubLibrary& second = *fallback;
    FallbackD2xxLibrary library(std::move(preferred), std::move(fallback));
    EXPECT_EQ(library.Load(), &pod);
    EXPECT_STREQ(library.Name(), "vendor D2XX");
    EXPECT_EQ(second.loads, 0);
}

TEST(FallbackLibrary, FallbackIsChosenOnceAndKept) {
    VirtualClock clock;
    SimulatedPod pod{clock};
    auto preferred = std::make_unique<StubLibrary>("vendor D2XX", nullptr, "no libftd2xx.so");
    StubLibrary& first = *preferred;
    FallbackD2xxLibrary library(std::move(preferred),
                                std::make_unique<StubLibrary>("libftdi1", &pod, "none"));
    EXPECT_STREQ(library.Name(), "vendor D2XX");
    EXPECT_EQ(library.Load(), &pod);
    EXPECT_STREQ(library.Name(), "libftdi1");
    EXPECT_EQ(library.LastError(), "none");
    library.Free();
    EXPECT_EQ(library.Load(), &pod);
    EXPECT_EQ(first.loads, 1);
}

TEST(FallbackLibrary, NeitherLoadingGivesBothReasons) {
    FallbackD2xxLibrary library(
        std::make_unique<StubLibrary>("vendor D2XX", nullptr, "libftd2xx.so: not found"),
        std::make_unique<StubLibrary>("libftdi1", nullptr, "libusb cannot start"));
    EXPECT_EQ(library.Load(), nullptr);
    EXPECT_EQ(library.LastError(),
              "vendor D2XX: libftd2xx.so: not found; libftdi1: libusb cannot start");

    FallbackD2xxLibrary vendorOnly(
        std::make_unique<StubLibrary>("vendor D2XX", nullptr, "Ftd2xx.dll: not found"), nullptr);
    EXPECT_EQ(vendorOnly.Load(), nullptr);
    EXPECT_EQ(vendorOnly.LastError(), "vendor D2XX: Ftd2xx.dll: not found");
}

TEST(BackendChoice, SimulateGivesTheSimulatedPodInTheClocksPace) {
    VirtualClock virtualClock;
    BackendOptions options;
    options.simulate = true;
    D2xxBackend instant = MakeD2xxBackend(options, virtualClock);
    ASSERT_NE(instant.library, nullptr);
    EXPECT_STREQ(instant.library->Name(), "simulated pod");
    ASSERT_NE(instant.simulatedPod, nullptr);
    EXPECT_EQ(instant.simulatedPod->Pace(), SimPace::Instant);
    // The calls reach the simulated pod (listed in the order of serial numbers, as every
    // backend's are).
    D2xxApi* api = instant.library->Load();
    ASSERT_NE(api, nullptr);
    std::uint32_t count = 0;
    ASSERT_EQ(api->FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    EXPECT_EQ(count, 1u);
    const std::uint32_t calls = instant.simulatedPod->Counters().calls;
    EXPECT_EQ(api->FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    EXPECT_GT(instant.simulatedPod->Counters().calls, calls);

    options.simRealtime = true;
    EXPECT_EQ(MakeD2xxBackend(options, virtualClock).simulatedPod->Pace(), SimPace::RealTime);
    SteadyClock steadyClock;
    options.simRealtime = false;
    EXPECT_EQ(MakeD2xxBackend(options, steadyClock).simulatedPod->Pace(), SimPace::RealTime);
}

TEST(BackendChoice, SimulatedPodStartsFromItsStateFile) {
    VirtualClock clock;
    const std::string path = TempPath("backend-choice-state.bin");
    {
        SimulatedPod earlier{clock};
        earlier.Target().SetProgramWord(0x0123, 0xBEEF);
        ASSERT_TRUE(earlier.SaveState(path, nullptr));
    }
    BackendOptions options;
    options.simulate = true;
    options.simStatePath = path;
    D2xxBackend backend = MakeD2xxBackend(options, clock);
    ASSERT_NE(backend.simulatedPod, nullptr) << backend.error;
    EXPECT_EQ(backend.simulatedPod->ProgramWord(0x0123), 0xBEEF);

    options.simStatePath = TempPath("backend-choice-no-such-state.bin");
    backend = MakeD2xxBackend(options, clock);
    ASSERT_NE(backend.simulatedPod, nullptr);
    EXPECT_NE(backend.simulatedPod->ProgramWord(0x0123), 0xBEEF);
}

TEST(BackendChoice, DamagedStateFileIsAnErrorNotAFreshPod) {
    VirtualClock clock;
    const std::string path = TempPath("backend-choice-damaged.bin");
    std::ofstream(path, std::ios::binary) << "VXPODSIM but not really";
    BackendOptions options;
    options.simulate = true;
    options.simStatePath = path;
    const D2xxBackend backend = MakeD2xxBackend(options, clock);
    EXPECT_EQ(backend.library, nullptr);
    EXPECT_EQ(backend.simulatedPod, nullptr);
    EXPECT_THAT(backend.error, HasSubstr("cannot read the simulated pod's state from " + path));
}

TEST(BackendChoice, UsbPrefersTheVendorLibraryWhenItIsThere) {
    VirtualClock clock;
    SimulatedPod pod{clock};
    TestD2xxAttachment attachment(VANTIX_TEST_D2XX_LIBRARY, pod);
    BackendOptions options;
    options.vendorLibraryFiles = {VANTIX_TEST_D2XX_LIBRARY};
    D2xxBackend backend = MakeD2xxBackend(options, clock);
    EXPECT_EQ(backend.simulatedPod, nullptr);
    ASSERT_NE(backend.library->Load(), nullptr);
    EXPECT_STREQ(backend.library->Name(), "vendor D2XX");

    SFileImage image;
    CUsbPod driver(*backend.library, clock, image);
    ASSERT_TRUE(driver.LoadDriverLibrary());
    ASSERT_TRUE(driver.FindPod());
    EXPECT_EQ(driver.Open(), kPodOpenOk);
}

TEST(BackendChoice, UsbFallsBackToLibFtdiWithoutTheVendorLibrary) {
    VirtualClock clock;
    BackendOptions options;
    options.vendorLibraryFiles = {"/nonexistent/libftd2xx.so"};
    D2xxBackend backend = MakeD2xxBackend(options, clock);
    D2xxApi* api = backend.library->Load();
#ifdef VANTIX_HAVE_LIBFTDI
    if (api) {
        EXPECT_STREQ(backend.library->Name(), "libftdi1");
    } else {
        // A system without USB support: both reasons are kept.
        EXPECT_THAT(backend.library->LastError(), HasSubstr("vendor D2XX: /nonexistent"));
        EXPECT_THAT(backend.library->LastError(), HasSubstr("; libftdi1: libusb cannot start"));
    }
#else
    EXPECT_EQ(api, nullptr);
#endif
}

TEST(DeviceListing, ListsEveryDeviceInOrder) {
    VirtualClock clock;
    SimulatedPod pod{clock};
    pod.Faults().devices = {"FT232R USB UART", "USB POD"};
    SimulatedD2xxLibrary library(pod);
    std::vector<AttachedDevice> devices;
    std::string error;
    ASSERT_TRUE(ListAttachedDevices(library, devices, error)) << error;
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].description, "FT232R USB UART");
    EXPECT_EQ(devices[1].index, 1u);
    EXPECT_EQ(devices[1].description, "USB POD");
    EXPECT_EQ(devices[1].problem, "");
}

TEST(DeviceListing, MissingLibraryOrFailingCountIsAnError) {
    VirtualClock clock;
    SimulatedPod pod{clock};
    SimulatedD2xxLibrary library(pod);
    std::vector<AttachedDevice> devices;
    std::string error;
    library.SetMissing(true);
    EXPECT_FALSE(ListAttachedDevices(library, devices, error));
    EXPECT_EQ(error, "simulated pod is not available: the simulated D2XX library is set missing");

    library.SetMissing(false);
    pod.Faults().FailCall(1);
    EXPECT_FALSE(ListAttachedDevices(library, devices, error));
    EXPECT_EQ(error, "cannot count the devices (D2XX status 4)");
}

#ifdef VANTIX_HAVE_LIBFTDI
TEST(DeviceListing, UnreadableDeviceCarriesItsReason) {
    VirtualClock clock;
    SimulatedPod pod{clock};
    pod.Faults().devices = {"USB POD", "FT232R USB UART"};
    LibFtdiLibrary library(clock, [&pod](std::string&) {
        auto bus = std::make_unique<FakeFtdiBus>(pod);
        bus->stringsErrors[0] = kUsbErrorAccess;
        return bus;
    });
    std::vector<AttachedDevice> devices;
    std::string error;
    ASSERT_TRUE(ListAttachedDevices(library, devices, error)) << error;
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_THAT(devices[0].problem, HasSubstr("permission denied reading the product string"));
    EXPECT_EQ(devices[1].description, "FT232R USB UART");
    EXPECT_EQ(devices[1].problem, "");
}

// The real libftdi1 and libusb on this machine. With no FTDI device attached the listing
// is empty and the driver's search for the pod fails cleanly; with devices attached the
// test has nothing to say.
TEST(RealUsb, WithoutAnFtdiDeviceThePodIsNotFound) {
    VirtualClock clock;
    LibFtdiLibrary library(clock);
    std::vector<AttachedDevice> devices;
    std::string error;
    if (!ListAttachedDevices(library, devices, error)) {
        EXPECT_THAT(error, HasSubstr("libftdi1 is not available: libusb cannot start"));
        GTEST_SKIP() << "no USB support here: " << error;
    }
    if (!devices.empty()) {
        GTEST_SKIP() << devices.size() << " FTDI device(s) attached";
    }
    SFileImage image;
    CUsbPod driver(library, clock, image);
    ASSERT_TRUE(driver.LoadDriverLibrary());
    EXPECT_FALSE(driver.FindPod());
    EXPECT_EQ(driver.Open(), kPodOpenPortFailure);
    EXPECT_TRUE(driver.Close());
}
#endif

}  // namespace
