#include "MemoryRegion.h"

#include <cctype>

namespace {

constexpr std::array<const char*, kRegionCount> kRegionNames = {"PFLASH", "P2FLASH", "BFLASH",
                                                                "DFLASH"};

}  // namespace

const char* RegionName(MemoryRegion region) {
    const auto index = static_cast<unsigned>(region);
    return index < kRegionNames.size() ? kRegionNames[index] : "";
}

std::optional<MemoryRegion> RegionFromName(std::string_view name) {
    for (MemoryRegion region : kAllRegions) {
        if (name == RegionName(region)) {
            return region;
        }
    }
    return std::nullopt;
}

std::optional<MemoryRegion> RegionFromUserName(std::string_view name) {
    std::string upper;
    for (const char c : name) {
        upper.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    }
    return RegionFromName(upper);
}

std::string UnknownRegionText(std::string_view name) {
    return "unknown region '" + std::string(name) + "': use PFLASH, P2FLASH, BFLASH or DFLASH";
}
