#pragma once

#include <cstdint>

#include "MemoryRegion.h"

// What a blank check found in one region. The pod compares a whole page piece at once, so
// for a region that is not blank the first piece that differs is all it can tell.
struct BlankRegion {
    MemoryRegion region = MemoryRegion::PFLASH;
    bool checked = false;  // the pod answered every compare up to the verdict
    bool blank = false;
    std::uint32_t differsFirst = 0;
    std::uint32_t differsLast = 0;
};
