#pragma once

#include "FtdiPort.h"

struct ftdi_context;

// An FTDI device opened through libftdi1. Owns the context and frees it.
class LibFtdiPort final : public FtdiPort {
public:
    // Takes a context on which ftdi_usb_open_dev has succeeded.
    explicit LibFtdiPort(ftdi_context* context) : context_(context) {}
    ~LibFtdiPort() override;
    LibFtdiPort(const LibFtdiPort&) = delete;
    LibFtdiPort& operator=(const LibFtdiPort&) = delete;

    int Reset() override;
    int GetLatencyTimer(std::uint8_t& ms) override;
    int SetLatencyTimer(std::uint8_t ms) override;
    int SetBaudRate(int baud) override;
    int SetLineProperty(int bits, int stopBits, int parity) override;
    int SetFlowControl(int flow, std::uint8_t xon, std::uint8_t xoff) override;
    void SetUsbTimeouts(int readMs, int writeMs) override;
    int Flush(bool rx, bool tx) override;
    int Write(const std::uint8_t* data, int size) override;
    int Read(std::uint8_t* data, int size) override;
    int Close() override;
    std::string ErrorString() const override;

private:
    ftdi_context* context_;
    bool open_ = true;
};
