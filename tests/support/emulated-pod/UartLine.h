#pragma once

#include <cstdint>
#include <vector>

#include "backends/SerialLineFormat.h"

// One end of an asynchronous serial line: rate and frame as the FTDI chip is told them.
struct UartFormat {
    double baud = 9600;
    DataBits dataBits = DataBits::Eight;
    Parity parity = Parity::None;
    StopBits stopBits = StopBits::One;

    // The pod's own UART: 921600 baud, 8N1.
    static UartFormat Pod() { return {921600, DataBits::Eight, Parity::None, StopBits::One}; }
    bool Is8N1() const {
        return dataBits == DataBits::Eight && parity == Parity::None && stopBits == StopBits::One;
    }
    // Start, data, parity and stop bits of one frame, in bit times.
    double FrameBits() const {
        return 1 + BitCount(dataBits) + (parity != Parity::None ? 1 : 0) + BitTimes(stopBits);
    }
};

// The bytes a receiver with format `to` makes of bytes sent back to back with format `from`:
// each frame is sampled in the middle of its bits from its start bit's falling edge, and a
// frame whose stop bit reads low (a framing error) is dropped, as the pod's firmware does.
std::vector<std::uint8_t> ResampleLine(const std::vector<std::uint8_t>& bytes,
                                       const UartFormat& from, const UartFormat& to);

// FT232R baud divisor: wValue bits 0-13 the integer part, bits 14-15 and wIndex bit 0 the
// eighths; integer 0 means 3 MBaud and 1 means 2 MBaud.
double DecodeFt232rBaud(std::uint16_t value, std::uint16_t index);
