#pragma once

#include <memory>
#include <string>

#include "FtdiBus.h"
#include "LibFtdiPort.h"

struct libusb_context;
struct libusb_device;

// The USB bus as libusb sees it, with devices opened through libftdi1.
class LibFtdiBus final : public FtdiBus {
public:
    // Null with the reason when libusb cannot start (no USB support on this system). Each
    // port it opens keeps this many bulk IN transfers pending.
    static std::unique_ptr<LibFtdiBus> Create(
        std::string& error, int transfersInFlight = LibFtdiPort::kTransfersInFlight);
    ~LibFtdiBus() override;
    LibFtdiBus(const LibFtdiBus&) = delete;
    LibFtdiBus& operator=(const LibFtdiBus&) = delete;

    int Enumerate(std::vector<FtdiDeviceEntry>& devices) override;
    // The port keeps a libusb handle of this bus: it must be closed before the bus goes.
    std::unique_ptr<FtdiPort> Open(const FtdiDeviceEntry& device, FtdiOpenError& error) override;

private:
    LibFtdiBus(libusb_context* usb, int transfersInFlight)
        : usb_(usb), transfersInFlight_(transfersInFlight) {}
    static void ReadStrings(libusb_device* device, FtdiDeviceEntry& entry);
    std::unique_ptr<FtdiPort> OpenDevice(libusb_device* device, FtdiOpenError& error);

    libusb_context* usb_;
    int transfersInFlight_;
};
