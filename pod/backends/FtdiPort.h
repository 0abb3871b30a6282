#pragma once

#include <cstdint>
#include <string>

#include "SerialLineFormat.h"

// libusb's error codes that the backend tells apart (libusb's stable values).
inline constexpr int kUsbErrorIo = -1;
inline constexpr int kUsbErrorAccess = -3;
inline constexpr int kUsbErrorNoDevice = -4;
inline constexpr int kUsbErrorBusy = -6;
inline constexpr int kUsbErrorTimeout = -7;
// libftdi's answer when the device handle has gone.
inline constexpr int kFtdiDeviceUnavailable = -666;

// One opened FTDI device, call for call as libftdi1 offers it: results are libftdi's
// (0 or a count for success, negative for failure). Production: LibFtdiPort; tests put a
// double here that talks to the simulated pod.
class FtdiPort {
public:
    virtual ~FtdiPort() = default;
    // The chip's serial engine reset (ftdi_usb_reset).
    virtual int Reset() = 0;
    virtual int GetLatencyTimer(std::uint8_t& ms) = 0;
    virtual int SetLatencyTimer(std::uint8_t ms) = 0;
    virtual int SetBaudRate(int baud) = 0;
    virtual int SetLineProperty(DataBits bits, StopBits stopBits, Parity parity) = 0;
    // xon and xoff are the characters of FlowControl::XonXoff.
    virtual int SetFlowControl(FlowControl flow, std::uint8_t xon, std::uint8_t xoff) = 0;
    // How long one USB transfer may take before libusb gives up.
    virtual void SetUsbTimeouts(int readMs, int writeMs) = 0;
    // Empties the chip's queues: rx is what the device sent us, tx what we sent it.
    virtual int Flush(bool rx, bool tx) = 0;
    // Bytes written, or a negative error.
    virtual int Write(const std::uint8_t* data, int size) = 0;
    // What has arrived so far, often 0 bytes; never waits for size bytes.
    virtual int Read(std::uint8_t* data, int size) = 0;
    // Waits up to ms for the device to send something; false when the port cannot wait
    // for that, and the caller sleeps instead.
    virtual bool AwaitReceive(std::uint32_t ms) {
        (void)ms;
        return false;
    }
    virtual int Close() = 0;
    // libftdi's text for the last failure.
    virtual std::string ErrorString() const = 0;
};
