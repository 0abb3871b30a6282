#include "CpuType.h"

#include <array>
#include <cctype>
#include <string>

namespace {

constexpr std::array<const char*, kCpuTypeCount> kCpuNames = {"DSP56F801", "DSP56F803", "DSP56F805",
                                                              "DSP56F807"};

}  // namespace

const char* CpuName(CpuType cpu) {
    const auto index = static_cast<unsigned>(cpu);
    return index < kCpuNames.size() ? kCpuNames[index] : "Unknown";
}

std::optional<CpuType> CpuFromName(std::string_view name) {
    std::string upper;
    upper.reserve(name.size());
    for (char c : name) {
        upper.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    }
    for (unsigned i = 0; i < kCpuNames.size(); ++i) {
        const std::string_view full = kCpuNames[i];
        if (upper == full || upper == full.substr(full.size() - 3)) {
            return static_cast<CpuType>(i);
        }
    }
    return std::nullopt;
}
