#pragma once

#include <cstdint>
#include <optional>

// The frame of an asynchronous serial line and its flow control. The values are the numbers
// the D2XX calls (FT_SetDataCharacteristics, FT_SetFlowControl), libftdi1 and the FTDI chip's
// own vendor requests all use, so they pass between the three unchanged.

enum class DataBits : std::uint8_t { Seven = 7, Eight = 8 };

enum class StopBits : std::uint8_t { One = 0, OneAndAHalf = 1, Two = 2 };

enum class Parity : std::uint8_t { None = 0, Odd = 1, Even = 2, Mark = 3, Space = 4 };

// The chip's vendor request carries the high byte alone (1, 2, 4) beside the interface
// number in the low byte.
enum class FlowControl : std::uint16_t {
    None = 0x0000,
    RtsCts = 0x0100,
    DtrDsr = 0x0200,
    XonXoff = 0x0400,
};

// The enumerator a number names; nothing when it names none.
constexpr std::optional<DataBits> DataBitsNamed(unsigned value) {
    if (value == 7 || value == 8) {
        return static_cast<DataBits>(value);
    }
    return std::nullopt;
}

constexpr std::optional<StopBits> StopBitsNamed(unsigned value) {
    if (value <= 2) {
        return static_cast<StopBits>(value);
    }
    return std::nullopt;
}

constexpr std::optional<Parity> ParityNamed(unsigned value) {
    if (value <= 4) {
        return static_cast<Parity>(value);
    }
    return std::nullopt;
}

constexpr std::optional<FlowControl> FlowControlNamed(unsigned value) {
    if (value == 0x0000 || value == 0x0100 || value == 0x0200 || value == 0x0400) {
        return static_cast<FlowControl>(value);
    }
    return std::nullopt;
}

constexpr int BitCount(DataBits bits) {
    return static_cast<int>(bits);
}

// The stop bits' length in bit times.
constexpr double BitTimes(StopBits stop) {
    switch (stop) {
        case StopBits::OneAndAHalf:
            return 1.5;
        case StopBits::Two:
            return 2.0;
        default:
            return 1.0;
    }
}
