#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The four flash regions, always handled in this order.
enum class MemoryRegion : std::uint8_t {
    PFLASH = 0,
    P2FLASH = 1,
    BFLASH = 2,
    DFLASH = 3,
};

inline constexpr int kRegionCount = 4;

inline constexpr std::array<MemoryRegion, kRegionCount> kAllRegions = {
    MemoryRegion::PFLASH, MemoryRegion::P2FLASH, MemoryRegion::BFLASH, MemoryRegion::DFLASH};

// The literal names, also the texts of the region list's rows.
const char* RegionName(MemoryRegion region);

// Exact, case-sensitive match against the four names.
std::optional<MemoryRegion> RegionFromName(std::string_view name);
// A region as a user names it: the four names in any letter case.
std::optional<MemoryRegion> RegionFromUserName(std::string_view name);
// What to tell a user whose name is no region.
std::string UnknownRegionText(std::string_view name);

inline constexpr int RegionIndex(MemoryRegion region) {
    return static_cast<int>(region);
}
