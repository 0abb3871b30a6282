#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "MemoryRegion.h"

// What the pod keeps beside the image stored in its EEPROM, as the O command returns it:
// 28 raw bytes, "!" first, multi-byte values little-endian.
struct PodInfoRecord {
    static constexpr std::size_t kReplySize = 28;
    static constexpr std::uint8_t kImageMarker = 'w';

    struct Extent {
        std::uint16_t start = 0;
        std::uint16_t end = 0;
        std::uint16_t length = 0;
    };

    std::uint8_t marker = 0;  // kImageMarker when the pod holds an image
    std::uint8_t cpu = 0;
    std::uint8_t options = 0;  // bit 0 erase all boot flash, bit 1 reset after writing
    std::array<Extent, kRegionCount> regions{};  // MemoryRegion order

    bool HasImage() const { return marker == kImageMarker; }
    const Extent& Region(MemoryRegion region) const { return regions[RegionIndex(region)]; }

    // reply holds kReplySize bytes.
    static PodInfoRecord Parse(const std::uint8_t* reply);

    // "[CPU] : DSP56F805" ... or "[CPU] : Unknown".
    static const char* CpuText(std::uint8_t cpu);
    // "[Option] : ..." for the option codes 0 to 3, "[Option] : Unknown" otherwise.
    static const char* OptionText(std::uint8_t options);
};
