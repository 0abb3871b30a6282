#pragma once

#include <cstdint>
#include <vector>

// One end of an asynchronous serial line: rate and frame as the FTDI chip is told them.
struct UartFormat {
    double baud = 9600;
    int dataBits = 8;
    int parity = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
    int stopBits = 0;  // 0 one, 1 one and a half, 2 two

    // The pod's own UART: 921600 baud, 8N1.
    static UartFormat Pod() { return {921600, 8, 0, 0}; }
    bool Is8N1() const { return dataBits == 8 && parity == 0 && stopBits == 0; }
};

// The bytes a receiver with format `to` makes of bytes sent back to back with format `from`:
// each frame is sampled in the middle of its bits from its start bit's falling edge, and a
// frame whose stop bit reads low (a framing error) is dropped, as the pod's firmware does.
std::vector<std::uint8_t> ResampleLine(const std::vector<std::uint8_t>& bytes,
                                       const UartFormat& from, const UartFormat& to);

// FT232R baud divisor: wValue bits 0-13 the integer part, bits 14-15 and wIndex bit 0 the
// eighths; integer 0 means 3 MBaud and 1 means 2 MBaud.
double DecodeFt232rBaud(std::uint16_t value, std::uint16_t index);
