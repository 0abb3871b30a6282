#pragma once

#include <ostream>
#include <vector>

#include "MemoryRegion.h"
#include "RegionRows.h"

class SFileImage;

// `info`: the rows as the region list shows them, under its column headings.
void WriteInfoTable(std::ostream& out, const std::vector<RegionRow>& rows);

// `info --json`: one line, keys in the order cpu, regions, then the reader's counts.
void WriteInfoJson(std::ostream& out, const SFileImage& image, const std::vector<RegionRow>& rows);

// `dump`: the whole region as the hex view lays it out, from the region's map start for its
// map size, 8 words a row: "AAAA: wwww wwww wwww wwww wwww wwww wwww wwww".
void WriteRegionDump(std::ostream& out, const SFileImage& image, MemoryRegion region);
