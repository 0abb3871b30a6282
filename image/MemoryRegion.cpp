#include "MemoryRegion.h"

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
