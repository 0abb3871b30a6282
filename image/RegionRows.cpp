#include "RegionRows.h"

#include <cstdio>

#include "SFileImage.h"

std::vector<RegionRow> ListPresentRegions(SFileImage& image) {
    std::vector<RegionRow> rows;
    for (MemoryRegion region : kAllRegions) {
        if (!image.IsPresent(region)) {
            continue;
        }
        RegionImage& loaded = image.Region(region);
        // From here on wordCount is the span, which is what the pod transfers.
        loaded.wordCount = static_cast<std::uint16_t>(loaded.maxAddress - loaded.minAddress + 1);
        RegionRow row{
            region, loaded.minAddress, loaded.maxAddress, loaded.wordCount, RegionName(region), {},
            {}};
        char text[32];
        std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(loaded.minAddress));
        row.startText = text;
        std::snprintf(text, sizeof text, "0x%X Words", static_cast<unsigned>(loaded.wordCount));
        row.sizeText = text;
        rows.push_back(std::move(row));
    }
    return rows;
}
