#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "FtdiPort.h"

struct ftdi_context;
struct libusb_context;
struct libusb_transfer;

// An FTDI device opened through libftdi1. Owns the context and frees it.
//
// Reads come from a bulk IN transfer that is always pending, as the vendor driver keeps one:
// the chip answers it every latency period, so what it sent is already here when the driver
// looks, and a look at the receive queue costs no USB round trip of its own.
class LibFtdiPort final : public FtdiPort {
public:
    // Takes a context on which ftdi_usb_open_dev has succeeded for a device of the libusb
    // context usb, whose events the pending transfer is handled with.
    LibFtdiPort(ftdi_context* context, libusb_context* usb) : context_(context), usb_(usb) {}
    ~LibFtdiPort() override;
    LibFtdiPort(const LibFtdiPort&) = delete;
    LibFtdiPort& operator=(const LibFtdiPort&) = delete;

    int Reset() override;
    int GetLatencyTimer(std::uint8_t& ms) override;
    int SetLatencyTimer(std::uint8_t ms) override;
    int SetBaudRate(int baud) override;
    int SetLineProperty(DataBits bits, StopBits stopBits, Parity parity) override;
    int SetFlowControl(FlowControl flow, std::uint8_t xon, std::uint8_t xoff) override;
    void SetUsbTimeouts(int readMs, int writeMs) override;
    int Flush(bool rx, bool tx) override;
    int Write(const std::uint8_t* data, int size) override;
    int Read(std::uint8_t* data, int size) override;
    bool AwaitReceive(std::uint32_t ms) override;
    int Close() override;
    std::string ErrorString() const override;

private:
    static void OnReceived(libusb_transfer* transfer);
    int StartReceiving();
    // Takes in what has arrived, then drops it: after the chip's receive queue was emptied.
    void DropReceived();

    ftdi_context* context_;
    libusb_context* usb_;
    bool open_ = true;
    libusb_transfer* receiving_ = nullptr;
    bool inFlight_ = false;
    int arrived_ = 0;  // set when the pending transfer brought bytes or failed
    int receiveError_ = 0;
    std::vector<std::uint8_t> receiveBuffer_;
    std::deque<std::uint8_t> received_;
};
