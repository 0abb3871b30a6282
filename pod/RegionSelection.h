#pragma once

#include <array>
#include <cstdint>

#include "MemoryRegion.h"

// One byte per MemoryRegion, in MemoryRegion order; non-zero = process the region.
using RegionSelection = std::array<std::uint8_t, kRegionCount>;
