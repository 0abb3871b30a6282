#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "FtdiPort.h"

struct ftdi_context;
struct libusb_context;
struct libusb_transfer;

// An FTDI device opened through libftdi1. Owns the context and frees it.
//
// Reads come from bulk IN transfers that are always pending, as the vendor driver keeps
// several: the chip answers them every latency period, so what it sent is already here when
// the driver looks, and a look at the receive queue costs no USB round trip of its own. With
// more than one pending, the chip has a transfer to fill while the host reaps and resubmits
// another; with none, it can hold only 256 bytes before it loses the rest.
class LibFtdiPort final : public FtdiPort {
public:
    static constexpr int kTransfersInFlight = 2;

    // Takes a context on which ftdi_usb_open_dev has succeeded for a device of the libusb
    // context usb, whose events the pending transfers are handled with.
    LibFtdiPort(ftdi_context* context, libusb_context* usb,
                int transfersInFlight = kTransfersInFlight);
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
    // One bulk IN transfer and its buffer; the transfer's user data points here.
    struct Receiver {
        LibFtdiPort* port = nullptr;
        libusb_transfer* transfer = nullptr;
        std::vector<std::uint8_t> buffer;
        bool inFlight = false;
    };

    static void OnReceived(libusb_transfer* transfer);
    int PacketSize() const;
    // The data in a transfer of this length, without each packet's status bytes.
    std::size_t DataBytes(int length) const;
    // The packets of a completed transfer: their data, and what their status bytes report.
    void TakeIn(const libusb_transfer& transfer);
    int StartReceiving();
    bool Receiving() const;
    // Cancels the pending transfers and waits until every one has come back.
    void CancelReceiving();
    // After the chip's receive queue was emptied: what had already reached the host, in the
    // pending transfers or taken in, goes too, and new transfers are submitted. Returns the
    // data bytes thrown away.
    std::size_t DropReceived();

    ftdi_context* context_;
    libusb_context* usb_;
    bool open_ = true;
    std::vector<std::unique_ptr<Receiver>> receivers_;
    bool discarding_ = false;
    std::size_t discarded_ = 0;
    int arrived_ = 0;  // set when a transfer brought bytes or failed
    int receiveError_ = 0;
    int lineError_ = 0;  // kReceiveOverrun or kReceiveFramingError, not yet reported
    std::deque<std::uint8_t> received_;
};
