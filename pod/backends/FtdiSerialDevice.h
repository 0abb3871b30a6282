#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "D2xxApi.h"
#include "FtdiPort.h"

class Clock;

// One open FTDI device seen through D2XX calls. libftdi1 reads whatever has arrived and
// has no queue query, so this keeps a receive buffer of its own: the queue status is what
// the buffer holds after one poll, and a read polls until its bytes are in or its time-out
// has passed on the clock (before any time-out is set, a read polls once).
class FtdiSerialDevice {
public:
    // label names the device in messages: "USB POD (bus 1 device 5)".
    FtdiSerialDevice(std::unique_ptr<FtdiPort> port, Clock& clock, std::string label);
    ~FtdiSerialDevice();
    FtdiSerialDevice(const FtdiSerialDevice&) = delete;
    FtdiSerialDevice& operator=(const FtdiSerialDevice&) = delete;

    FT_STATUS Reset();
    FT_STATUS GetLatencyTimer(std::uint8_t* timerMs);
    FT_STATUS SetLatencyTimer(std::uint8_t timerMs);
    FT_STATUS SetBaudRate(std::uint32_t baud);
    FT_STATUS SetDataCharacteristics(std::uint8_t wordLength, std::uint8_t stopBits,
                                     std::uint8_t parity);
    FT_STATUS SetFlowControl(std::uint16_t flowControl, std::uint8_t xon, std::uint8_t xoff);
    FT_STATUS SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs);
    FT_STATUS Purge(std::uint32_t mask);
    FT_STATUS Write(const void* buffer, std::uint32_t count, std::uint32_t* written);
    FT_STATUS Read(void* buffer, std::uint32_t count, std::uint32_t* received);
    FT_STATUS QueueStatus(std::uint32_t* rxQueue);
    // Releases the USB device; the object is finished afterwards.
    void Close();

    const std::string& Label() const { return label_; }
    // A device that has gone from the bus answers every call with an error, at once.
    bool Lost() const { return lost_; }
    // libftdi's words for the last failure.
    const std::string& LastError() const { return lastError_; }
    // The bytes that had already reached the host when the last purge of the receive side
    // threw them away.
    std::uint32_t PurgedReceived() const { return purgedReceived_; }

private:
    // Moves what has arrived into the receive buffer: the byte count, or a negative error.
    int Poll();
    FT_STATUS Fail(int code);

    std::unique_ptr<FtdiPort> port_;
    Clock& clock_;
    std::string label_;
    std::deque<std::uint8_t> received_;
    std::uint32_t readTimeoutMs_ = 0;
    bool lost_ = false;
    bool closed_ = false;
    std::uint32_t purgedReceived_ = 0;
    std::string lastError_;
};
