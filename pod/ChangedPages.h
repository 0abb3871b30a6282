#pragma once

#include <cstdint>

#include "MemoryRegion.h"

// What a write of only the changed pages did in one region. A page is one page piece of the
// image's extent: the pod compares it whole, and erases and writes its page whole.
struct ChangedPages {
    MemoryRegion region = MemoryRegion::PFLASH;
    std::uint32_t pages = 0;     // the pieces of the image's extent
    std::uint32_t compared = 0;  // pieces the pod answered for, equal or not
    std::uint32_t differed = 0;  // pieces the pod answered as different
    std::uint32_t written = 0;   // pages erased and written, their W acknowledged
};
