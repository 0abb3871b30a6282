#include "run/ImageReports.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "SFileImage.h"
#include "records/ImageDigests.h"
#include "records/RunRecord.h"

namespace {

constexpr int kWordsPerRow = 8;

std::string Padded(const std::string& text, std::size_t width) {
    std::string cell = text;
    if (cell.size() < width) {
        cell.append(width - cell.size(), ' ');
    }
    return cell;
}

}  // namespace

void WriteInfoTable(std::ostream& out, const SFileImage& image, const std::vector<RegionRow>& rows,
                    const std::string& sha256) {
    out << "Memory Name  Start Address  Data Size      CRC-32\n";
    for (const RegionRow& row : rows) {
        out << Padded(row.name, 13) << Padded(row.startText, 15) << Padded(row.sizeText, 15)
            << Crc32Text(RegionCrc32(image, row)) << '\n';
    }
    out << "SHA-256: " << sha256 << '\n';
}

void WriteInfoJson(std::ostream& out, const SFileImage& image, const std::vector<RegionRow>& rows,
                   const std::string& sha256) {
    const SRecordDiagnostics& found = image.diagnostics;
    std::vector<RunRecord::Region> regions;
    for (const RegionRow& row : rows) {
        regions.push_back(RegionRecord(image, row));
    }
    out << "{\"cpu\":\"" << CpuName(image.cpu) << "\",\"sha256\":\"" << sha256
        << "\",\"regions\":" << RegionsJson(regions)
        << ",\"badChecksums\":" << found.badChecksums.count
        << ",\"nonHexRecords\":" << found.nonHexRecords.count
        << ",\"truncatedRecords\":" << found.truncatedRecords.count
        << ",\"droppedWords\":" << found.droppedWords.count
        << ",\"trailingText\":" << found.trailingText.count
        << ",\"oddDataBytes\":" << found.oddDataBytes.count
        << ",\"s1s2Records\":" << found.s1s2Records.count
        << ",\"recordsAfterEnd\":" << found.recordsAfterEnd.count
        << ",\"intelHexLines\":" << found.intelHexLines.count
        << ",\"junkLines\":" << found.junkLines.count
        << ",\"rewrittenWords\":" << found.rewrittenWords
        << ",\"conflictingWords\":" << found.conflictingWords.count
        << ",\"dataRecords\":" << found.dataRecords << ",\"otherRecords\":" << found.otherRecords
        << ",\"noS3Records\":" << (found.noS3Records ? "true" : "false")
        << ",\"warnings\":" << found.Count() << "}\n";
}

void WriteRegionDump(std::ostream& out, const SFileImage& image, MemoryRegion region) {
    const AddressArea& area = image.Area(region);
    const RegionImage& loaded = image.Region(region);
    const std::uint32_t size = std::min(area.size, loaded.capacity);
    std::string row;
    char text[8];
    for (std::uint32_t i = 0; i < size; i += kWordsPerRow) {
        std::snprintf(text, sizeof text, "%04X:", static_cast<unsigned>((area.start + i) & 0xFFFF));
        row = text;
        for (std::uint32_t k = i; k < i + kWordsPerRow && k < size; ++k) {
            std::snprintf(text, sizeof text, " %04X", static_cast<unsigned>(loaded.words[k]));
            row += text;
        }
        row += '\n';
        out << row;
    }
}
