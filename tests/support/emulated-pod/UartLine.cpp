#include "UartLine.h"

#include <algorithm>

namespace {

// The line as levels over time, idle (high) outside the frames.
struct Waveform {
    std::vector<double> edges;  // start time of each segment
    std::vector<bool> levels;
    double end = 0;

    void Add(bool level, double duration) {
        if (!levels.empty() && levels.back() == level) {
            end += duration;
            return;
        }
        edges.push_back(end);
        levels.push_back(level);
        end += duration;
    }
    bool LevelAt(double t, std::size_t& hint) const {
        if (t >= end || edges.empty()) {
            return true;
        }
        while (hint + 1 < edges.size() && edges[hint + 1] <= t) {
            ++hint;
        }
        return levels[hint];
    }
};

bool ParityBit(std::uint8_t value, int dataBits, Parity parity) {
    int ones = 0;
    for (int i = 0; i < dataBits; ++i) {
        ones += (value >> i) & 1;
    }
    switch (parity) {
        case Parity::Odd:
            return ones % 2 == 0;
        case Parity::Even:
            return ones % 2 != 0;
        case Parity::Mark:
            return true;
        default:
            return false;  // space
    }
}

}  // namespace

std::vector<std::uint8_t> ResampleLine(const std::vector<std::uint8_t>& bytes,
                                       const UartFormat& from, const UartFormat& to) {
    Waveform line;
    const double sendBit = 1.0 / from.baud;
    const int sendBits = BitCount(from.dataBits);
    for (const std::uint8_t byte : bytes) {
        line.Add(false, sendBit);
        for (int i = 0; i < sendBits; ++i) {
            line.Add(((byte >> i) & 1) != 0, sendBit);
        }
        if (from.parity != Parity::None) {
            line.Add(ParityBit(byte, sendBits, from.parity), sendBit);
        }
        line.Add(true, sendBit * BitTimes(from.stopBits));
    }
    std::vector<std::uint8_t> heard;
    const double bit = 1.0 / to.baud;
    const int hearBits = BitCount(to.dataBits);
    const int frameBits = hearBits + (to.parity != Parity::None ? 1 : 0);
    std::size_t hint = 0;
    std::size_t s = 0;
    double t = 0;
    for (;;) {
        while (s + 1 < line.edges.size() && line.edges[s + 1] <= t) {
            ++s;
        }
        if (s >= line.levels.size() || t >= line.end) {
            break;
        }
        // Levels alternate, so after a high segment comes the next start bit.
        double start = t;
        if (line.levels[s]) {
            if (s + 1 >= line.levels.size()) {
                break;
            }
            start = line.edges[++s];
        }
        hint = s;
        std::uint8_t value = 0;
        for (int i = 0; i < hearBits; ++i) {
            if (line.LevelAt(start + (1.5 + i) * bit, hint)) {
                value = static_cast<std::uint8_t>(value | (1u << i));
            }
        }
        const double stopAt = start + (1.5 + frameBits) * bit;
        const bool stopHigh = line.LevelAt(stopAt, hint);
        if (stopHigh) {
            heard.push_back(value);
        }
        t = stopAt;
        while (s + 1 < line.edges.size() && line.edges[s + 1] <= t) {
            ++s;
        }
        if (!stopHigh) {
            // A break or a long low: the receiver waits for the line to go high again.
            if (s + 1 >= line.edges.size()) {
                break;
            }
            t = line.edges[s + 1];
        }
    }
    return heard;
}

double DecodeFt232rBaud(std::uint16_t value, std::uint16_t index) {
    static constexpr double kEighths[8] = {0, 4, 2, 1, 3, 5, 6, 7};
    const int integer = value & 0x3FFF;
    const int code = ((value >> 14) & 3) | ((index & 1) << 2);
    if (integer == 0 && code == 0) {
        return 3'000'000;
    }
    if (integer == 1 && code == 0) {
        return 2'000'000;
    }
    const double divisor = integer + kEighths[code] / 8.0;
    return 3'000'000 / divisor;
}
