#pragma once

#include <cstdint>
#include <random>
#include <string>

#include "D2xxApi.h"
#include "FtdiPort.h"

// What the tests can see of, and script into, every port the fake bus opens.
struct FakePortRecord {
    int readCalls = 0;
    int emptyReads = 0;
    int otherCalls = 0;  // every call except Read
    int usbReadTimeoutMs = 0;
    int usbWriteTimeoutMs = 0;
    int closes = 0;
};

// An opened device for the libftdi1 backend, standing on a D2XX device (the simulated pod):
// reads drain what the device holds in small uneven pieces, often none, as ftdi_read_data
// returns what the chip has passed on so far. Failures come back with the codes libftdi
// gives: a read of a device that has gone answers libusb's "no device", a write -1.
class FakeFtdiPort final : public FtdiPort {
public:
    FakeFtdiPort(D2xxApi& device, FT_HANDLE handle, unsigned seed, FakePortRecord& record)
        : device_(device), handle_(handle), pieces_(seed), record_(record) {}

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
    int Close() override;
    std::string ErrorString() const override { return error_; }

private:
    int Control(FT_STATUS status, const char* what);

    D2xxApi& device_;
    FT_HANDLE handle_;
    std::minstd_rand pieces_;
    FakePortRecord& record_;
    std::string error_;
};
