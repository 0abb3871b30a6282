// The libftdi1 backend's own behaviour: listing by product string, the reasons it gives
// when a device cannot be read or opened, its read loop and receive buffer, and a device
// that disappears. Underneath: the fake USB bus over the simulated pod.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "Clock.h"
#include "FakeFtdiBus.h"
#include "LibFtdiD2xx.h"
#include "sim/SimulatedPod.h"

using testing::HasSubstr;
using testing::StartsWith;

namespace {

class LibFtdiBackend : public testing::Test {
protected:
    LibFtdiBackend() {
        auto made = std::make_unique<FakeFtdiBus>(sim);
        bus = made.get();
        api = std::make_unique<LibFtdiD2xx>(std::move(made), clock);
    }

    FT_STATUS OpenPod() {
        char name[] = "USB POD";
        return api->FT_OpenEx(name, FT_OPEN_BY_DESCRIPTION, &handle);
    }

    // Opens and sets the line up as the pod driver does.
    void OpenConfigured() {
        ASSERT_EQ(OpenPod(), FT_OK) << api->LastError();
        ASSERT_EQ(api->FT_SetLatencyTimer(handle, 1), FT_OK);
        ASSERT_EQ(api->FT_SetBaudRate(handle, 921600), FT_OK);
        ASSERT_EQ(api->FT_SetDataCharacteristics(handle, FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_NONE),
                  FT_OK);
        ASSERT_EQ(api->FT_SetFlowControl(handle, FT_FLOW_NONE, 0, 0), FT_OK);
        ASSERT_EQ(api->FT_SetTimeouts(handle, 200, 200), FT_OK);
    }

    FT_STATUS Send(const std::string& bytes) {
        std::uint32_t written = 0;
        return api->FT_Write(handle, bytes.data(), static_cast<std::uint32_t>(bytes.size()),
                             &written);
    }

    std::string Description(std::uint32_t index, FT_STATUS* status = nullptr) {
        char text[kFtDescriptionSize] = {};
        const FT_STATUS result =
            api->FT_ListDevices(reinterpret_cast<void*>(std::uintptr_t{index}), text,
                                FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION);
        if (status) {
            *status = result;
        }
        return text;
    }

    std::uint64_t NowMs() const { return clock.NowUs() / 1000; }

    VirtualClock clock;
    SimulatedPod sim{clock};
    FakeFtdiBus* bus = nullptr;
    std::unique_ptr<LibFtdiD2xx> api;
    FT_HANDLE handle = nullptr;
};

TEST_F(LibFtdiBackend, ListsEveryFtdiDeviceByItsProductString) {
    sim.Faults().devices = {"FT232R USB UART", "USB POD"};
    std::uint32_t count = 0;
    ASSERT_EQ(api->FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(Description(0), "FT232R USB UART");
    EXPECT_EQ(Description(1), "USB POD");
    FT_STATUS status = FT_OK;
    Description(2, &status);
    EXPECT_EQ(status, FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(api->LastError(), "");
}

TEST_F(LibFtdiBackend, ByIndexWithoutACountListsAFreshAndLongStringsAreCut) {
    sim.Faults().devices = {std::string(80, 'x')};
    EXPECT_EQ(Description(0), std::string(kFtDescriptionSize - 1, 'x'));
    EXPECT_EQ(bus->enumerations, 1);
}

TEST_F(LibFtdiBackend, NoDevicesListsZeroAndOpenNamesWhatWasLookedFor) {
    sim.Faults().devices = {};
    std::uint32_t count = 99;
    ASSERT_EQ(api->FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(OpenPod(), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(handle, nullptr);
    EXPECT_EQ(api->LastError(), "no USB device of FTDI's vendor id 0403 is described \"USB POD\"");
}

TEST_F(LibFtdiBackend, ListingFailureIsAnErrorWithItsCause) {
    bus->enumerateError = kUsbErrorIo;
    std::uint32_t count = 99;
    EXPECT_EQ(api->FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_IO_ERROR);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(api->LastError(), "cannot list the USB devices: USB error -1");
}

TEST_F(LibFtdiBackend, UnreadableDeviceIsReportedAsAPermissionProblem) {
    sim.Faults().devices = {"USB POD"};
    bus->stringsErrors[0] = kUsbErrorAccess;
    std::uint32_t count = 0;
    ASSERT_EQ(api->FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    EXPECT_EQ(count, 1u);
    FT_STATUS status = FT_OK;
    EXPECT_EQ(Description(0, &status), "");
    EXPECT_EQ(status, FT_DEVICE_NOT_OPENED);
    EXPECT_THAT(api->LastError(),
                StartsWith("permission denied reading the product string of FTDI device "
                           "0403:6001 (bus 1 device 2); if it is the USB POD, install the udev "
                           "rule SUBSYSTEM==\"usb\", ATTRS{idVendor}==\"0403\", "
                           "ATTRS{product}==\"USB POD\", MODE=\"0660\", TAG+=\"uaccess\""));

    EXPECT_EQ(OpenPod(), FT_DEVICE_NOT_FOUND);
    EXPECT_THAT(api->LastError(),
                StartsWith("no USB device of FTDI's vendor id 0403 is described \"USB POD\"; "
                           "permission denied reading"));
}

TEST_F(LibFtdiBackend, OpenFailuresNameTheirReason) {
    struct Case {
        FtdiOpenFailure kind;
        const char* detail;
        const char* expected;
    };
    const Case cases[] = {
        {FtdiOpenFailure::PermissionDenied, "libusb_open() failed",
         "permission denied opening USB POD (bus 1 device 2): install the udev rule "
         "SUBSYSTEM==\"usb\", ATTRS{idVendor}==\"0403\", ATTRS{product}==\"USB POD\", "
         "MODE=\"0660\", TAG+=\"uaccess\" and plug the pod in again"},
        {FtdiOpenFailure::InUse, "unable to claim usb device",
         "USB POD (bus 1 device 2) is in use by another program, or its kernel serial driver "
         "could not be detached (unable to claim usb device)"},
        {FtdiOpenFailure::Gone, "", "USB POD (bus 1 device 2) went away before it could be opened"},
        {FtdiOpenFailure::Other, "libusb_get_configuration () failed",
         "cannot open USB POD (bus 1 device 2): libusb_get_configuration () failed"},
    };
    for (const Case& c : cases) {
        bus->openFailure = {c.kind, -4, c.detail};
        EXPECT_EQ(OpenPod(), FT_DEVICE_NOT_OPENED);
        EXPECT_EQ(handle, nullptr);
        EXPECT_EQ(api->LastError(), c.expected);
    }
    EXPECT_FALSE(sim.IsOpen());
}

TEST_F(LibFtdiBackend, OpenTakesOnlyTheWholeDescription) {
    sim.Faults().devices = {"USB POD2", "usb pod"};
    EXPECT_EQ(OpenPod(), FT_DEVICE_NOT_FOUND);
    EXPECT_TRUE(bus->ports.empty());
    sim.Faults().devices = {"USB POD2", "USB POD"};
    EXPECT_EQ(OpenPod(), FT_OK);
    EXPECT_EQ(sim.OpenedDescription(), "USB POD");
}

TEST_F(LibFtdiBackend, ReadCollectsTheWantedBytesFromUnevenPieces) {
    OpenConfigured();
    ASSERT_EQ(Send("\x02O\x03"), FT_OK);
    std::uint8_t record[28] = {};
    std::uint32_t received = 0;
    ASSERT_EQ(api->FT_Read(handle, record, 28, &received), FT_OK);
    EXPECT_EQ(received, 28u);
    EXPECT_EQ(record[0], '!');
    // It took several polls, some of them empty, and no time-out.
    EXPECT_GT(bus->ports[0].readCalls, 6);
    EXPECT_GT(bus->ports[0].emptyReads, 0);
}

TEST_F(LibFtdiBackend, ReadTimesOutOnTheClockWithWhatArrived) {
    OpenConfigured();
    std::uint8_t byte = 0;
    std::uint32_t received = 99;
    const std::uint64_t start = NowMs();
    EXPECT_EQ(api->FT_Read(handle, &byte, 1, &received), FT_OK);
    EXPECT_EQ(received, 0u);
    EXPECT_GE(NowMs() - start, 200u);
    EXPECT_LE(NowMs() - start, 202u);

    ASSERT_EQ(Send("\x02I\x03"), FT_OK);
    std::uint8_t reply[2] = {};
    EXPECT_EQ(api->FT_Read(handle, reply, 2, &received), FT_OK);
    EXPECT_EQ(received, 1u);
    EXPECT_EQ(reply[0], '!');
}

TEST_F(LibFtdiBackend, ReadWithoutATimeOutPollsOnce) {
    ASSERT_EQ(OpenPod(), FT_OK);
    std::uint8_t byte = 0;
    std::uint32_t received = 99;
    const std::uint64_t start = clock.NowUs();
    EXPECT_EQ(api->FT_Read(handle, &byte, 1, &received), FT_OK);
    EXPECT_EQ(received, 0u);
    EXPECT_EQ(clock.NowUs(), start);
}

TEST_F(LibFtdiBackend, QueueStatusCountsTheReceiveBufferAndPurgeEmptiesIt) {
    OpenConfigured();
    ASSERT_EQ(Send("\x02O\x03"), FT_OK);
    std::uint32_t waiting = 0;
    for (int poll = 0; poll < 200 && waiting < 28; ++poll) {
        ASSERT_EQ(api->FT_GetQueueStatus(handle, &waiting), FT_OK);
        clock.SleepMs(1);
    }
    EXPECT_EQ(waiting, 28u);
    std::uint32_t rx = 0, tx = 99, events = 99;
    EXPECT_EQ(api->FT_GetStatus(handle, &rx, &tx, &events), FT_OK);
    EXPECT_EQ(rx, 28u);
    EXPECT_EQ(tx, 0u);
    EXPECT_EQ(events, 0u);

    EXPECT_EQ(api->FT_Purge(handle, FT_PURGE_RX | FT_PURGE_TX), FT_OK);
    EXPECT_EQ(api->FT_GetQueueStatus(handle, &waiting), FT_OK);
    EXPECT_EQ(waiting, 0u);
    EXPECT_EQ(sim.Counters().lastPurgeMask, FT_PURGE_RX | FT_PURGE_TX);
}

TEST_F(LibFtdiBackend, DeviceThatHasGoneFailsEveryCallAtOnceAndStillCloses) {
    OpenConfigured();
    sim.Faults().UnplugAtCall(sim.Counters().calls + 1);
    std::uint8_t byte = 0;
    std::uint32_t received = 0;
    EXPECT_EQ(api->FT_Read(handle, &byte, 1, &received), FT_IO_ERROR);
    EXPECT_EQ(api->LastError(), "USB POD (bus 1 device 2) is gone: usb bulk read failed");

    const FakePortRecord before = bus->ports[0];
    const std::uint64_t start = clock.NowUs();
    std::uint32_t waiting = 0;
    EXPECT_EQ(Send("\x02I\x03"), FT_IO_ERROR);
    EXPECT_EQ(api->FT_Read(handle, &byte, 1, &received), FT_IO_ERROR);
    EXPECT_EQ(api->FT_GetQueueStatus(handle, &waiting), FT_IO_ERROR);
    EXPECT_EQ(api->FT_Purge(handle, FT_PURGE_RX), FT_IO_ERROR);
    // Without another USB call or a moment's wait.
    EXPECT_EQ(bus->ports[0].readCalls, before.readCalls);
    EXPECT_EQ(bus->ports[0].otherCalls, before.otherCalls);
    EXPECT_EQ(clock.NowUs(), start);

    EXPECT_EQ(api->FT_Close(handle), FT_OK);
    EXPECT_EQ(bus->ports[0].closes, 1);
    EXPECT_EQ(api->FT_Close(handle), FT_INVALID_HANDLE);
}

TEST_F(LibFtdiBackend, FailedWriteIsAnErrorButNotTheEndOfTheDevice) {
    OpenConfigured();
    sim.Faults().FailCall(sim.Counters().calls + 1);
    EXPECT_EQ(Send("\x02I\x03"), FT_IO_ERROR);
    EXPECT_EQ(api->LastError(), "USB POD (bus 1 device 2): usb bulk write failed");
    EXPECT_EQ(Send("\x02I\x03"), FT_OK);
}

TEST_F(LibFtdiBackend, SettingsOutsideTheD2xxRangesAreRefused) {
    ASSERT_EQ(OpenPod(), FT_OK);
    const int callsBefore = bus->ports[0].otherCalls;
    EXPECT_EQ(api->FT_SetLatencyTimer(handle, 0), FT_INVALID_PARAMETER);
    EXPECT_EQ(api->FT_SetBaudRate(handle, 0), FT_INVALID_BAUD_RATE);
    EXPECT_EQ(api->FT_SetDataCharacteristics(handle, 9, FT_STOP_BITS_1, FT_PARITY_NONE),
              FT_INVALID_PARAMETER);
    EXPECT_EQ(api->FT_SetDataCharacteristics(handle, FT_BITS_8, 3, FT_PARITY_NONE),
              FT_INVALID_PARAMETER);
    EXPECT_EQ(api->FT_SetFlowControl(handle, 0x0300, 0, 0), FT_INVALID_PARAMETER);
    EXPECT_EQ(bus->ports[0].otherCalls, callsBefore);

    FT_HANDLE stranger = reinterpret_cast<FT_HANDLE>(std::uintptr_t{0x1234});
    EXPECT_EQ(api->FT_ResetDevice(stranger), FT_INVALID_HANDLE);
    EXPECT_EQ(api->FT_Close(stranger), FT_INVALID_HANDLE);
}

TEST_F(LibFtdiBackend, UsbTransfersAreBoundedByTheDeviceTimeOuts) {
    ASSERT_EQ(OpenPod(), FT_OK);
    ASSERT_EQ(api->FT_SetTimeouts(handle, 200, 1000), FT_OK);
    EXPECT_EQ(bus->ports[0].usbReadTimeoutMs, 200);
    EXPECT_EQ(bus->ports[0].usbWriteTimeoutMs, 1000);
    ASSERT_EQ(api->FT_SetTimeouts(handle, 0, 0), FT_OK);
    EXPECT_EQ(bus->ports[0].usbReadTimeoutMs, 100);
    EXPECT_EQ(bus->ports[0].usbWriteTimeoutMs, 100);
}

TEST_F(LibFtdiBackend, DevicesLeftOpenAreReleasedWithTheBackend) {
    ASSERT_EQ(OpenPod(), FT_OK);
    ASSERT_TRUE(sim.IsOpen());
    api.reset();
    EXPECT_FALSE(sim.IsOpen());
}

}  // namespace
