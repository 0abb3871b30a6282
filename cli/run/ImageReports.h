#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "MemoryRegion.h"
#include "RegionRows.h"

class SFileImage;

// `info`: the rows as the region list shows them, under its column headings, with each
// region's CRC-32; then the file's SHA-256 (empty when it could not be read).
void WriteInfoTable(std::ostream& out, const SFileImage& image, const std::vector<RegionRow>& rows,
                    const std::string& sha256);

// `info --json`: one line, keys in the order cpu, sha256, regions, the reader's counts.
void WriteInfoJson(std::ostream& out, const SFileImage& image, const std::vector<RegionRow>& rows,
                   const std::string& sha256);

// `dump`: the whole region as the hex view lays it out, from the region's map start for its
// map size, 8 words a row: "AAAA: wwww wwww wwww wwww wwww wwww wwww wwww".
void WriteRegionDump(std::ostream& out, const SFileImage& image, MemoryRegion region);
