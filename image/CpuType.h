#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// The controller family; the value is also the index of the form's CPU selection
// and the CPU code sent to the pod.
enum class CpuType : std::uint8_t {
    DSP56F801 = 0,
    DSP56F803 = 1,
    DSP56F805 = 2,
    DSP56F807 = 3,
};

inline constexpr int kCpuTypeCount = 4;

// "DSP56F801" ... "DSP56F807"; "Unknown" for a value outside the four.
const char* CpuName(CpuType cpu);

// Accepts "DSP56F805" or "805" in any letter case.
std::optional<CpuType> CpuFromName(std::string_view name);
