#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "FtdiPort.h"

// FTDI's USB vendor id; the pod may carry any product id of it.
inline constexpr std::uint16_t kFtdiVendorId = 0x0403;

// One device of FTDI's vendor id on the bus.
struct FtdiDeviceEntry {
    std::uint8_t bus = 0;
    std::uint8_t address = 0;
    std::uint16_t productId = 0;
    // 0 when the strings below were read; otherwise libusb's error (kUsbErrorAccess when
    // the user may not open the device).
    int stringsError = 0;
    std::string description;  // the USB product string
    std::string serial;
};

enum class FtdiOpenFailure { None, PermissionDenied, InUse, Gone, Other };

struct FtdiOpenError {
    FtdiOpenFailure kind = FtdiOpenFailure::None;
    int code = 0;        // libftdi's or libusb's code
    std::string detail;  // libftdi's text
};

// The USB side of libftdi1: which FTDI devices are attached, and opening one of them.
// Production: LibFtdiBus; tests put the simulated pod behind it.
class FtdiBus {
public:
    virtual ~FtdiBus() = default;
    // Every attached device of FTDI's vendor id, whatever its product id, with its strings.
    // Returns 0, or libusb's error when the bus cannot be listed.
    virtual int Enumerate(std::vector<FtdiDeviceEntry>& devices) = 0;
    // Opens the device at the entry's bus address; null with the reason on failure.
    virtual std::unique_ptr<FtdiPort> Open(const FtdiDeviceEntry& device, FtdiOpenError& error) = 0;
};
