#pragma once

#include <array>
#include <cstdint>
#include <string>

// One command frame as the pod understood it: the command character and its fields,
// decoded from fixed-width upper-case hex.
struct SimFrame {
    static constexpr std::uint8_t kStx = 0x02;
    static constexpr std::uint8_t kEtx = 0x03;
    static constexpr int kMaxFields = 6;

    char letter = 0;
    std::array<std::uint32_t, kMaxFields> fields{};
    int fieldCount = 0;
    // The command character and the fields as they came, e.g. "W05010001F00012340400".
    std::string text;

    std::uint32_t Field(int index) const { return fields[static_cast<std::size_t>(index)]; }
};
