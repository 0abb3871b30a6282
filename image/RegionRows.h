#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "MemoryRegion.h"

class SFileImage;

// One row of the buffer window's region list.
struct RegionRow {
    MemoryRegion region;
    std::uint16_t start;    // minAddress (data-space address for DFLASH)
    std::uint16_t end;      // maxAddress
    std::uint16_t span;     // maxAddress - minAddress + 1
    std::string name;       // "PFLASH", ...
    std::string startText;  // "0x%04X"
    std::string sizeText;   // "0x%X Words"
};

// The rows File Load lists: present regions in list order (P2FLASH only on the DSP56F807).
// Like File Load, replaces each listed region's wordCount by its span, which is what the
// pod driver transfers.
std::vector<RegionRow> ListPresentRegions(SFileImage& image);
