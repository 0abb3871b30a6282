#include "FullImage.h"

#include <array>
#include <cstdio>
#include <memory>

#include "SFileImage.h"

namespace {

struct FileRange {
    std::uint32_t first;
    std::uint32_t last;
};

constexpr std::uint32_t kData = SFileImage::DataSpaceOffset;
constexpr std::array<FileRange, 4> kRanges = {{
    {0x0004, 0x7FFF},                  // PFLASH, without the four vector words
    {0x8000, 0xEFFF},                  // P2FLASH
    {0xF800, 0xFFFF},                  // BFLASH
    {kData + 0x2000, kData + 0x3FFF},  // DFLASH
}};
constexpr std::uint32_t kWordsPerRecord = 16;

void AppendRecord(std::string& out, std::uint32_t address, std::uint32_t count) {
    std::array<std::uint8_t, 5 + 2 * kWordsPerRecord> body{};
    std::size_t n = 0;
    body[n++] = static_cast<std::uint8_t>(4 + 2 * count + 1);
    for (int shift = 24; shift >= 0; shift -= 8) {
        body[n++] = static_cast<std::uint8_t>(address >> shift);
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint16_t word = FullImage::WordAt(address + i);
        body[n++] = static_cast<std::uint8_t>(word & 0xFF);  // low byte first
        body[n++] = static_cast<std::uint8_t>(word >> 8);
    }
    unsigned sum = 0;
    char hex[3];
    out += "S3";
    for (std::size_t i = 0; i < n; ++i) {
        sum += body[i];
        std::snprintf(hex, sizeof hex, "%02X", body[i]);
        out += hex;
    }
    std::snprintf(hex, sizeof hex, "%02X", ~sum & 0xFFu);
    out += hex;
    out += '\n';
}

}  // namespace

std::uint16_t FullImage::WordAt(std::uint32_t fileAddress) {
    const std::uint32_t x = fileAddress * 2654435761u;
    return static_cast<std::uint16_t>((x >> 11) & 0xFFFF);
}

std::string FullImage::SRecordText() {
    std::string text;
    for (const FileRange& range : kRanges) {
        for (std::uint32_t a = range.first; a <= range.last; a += kWordsPerRecord) {
            const std::uint32_t left = range.last - a + 1;
            AppendRecord(text, a, left < kWordsPerRecord ? left : kWordsPerRecord);
        }
    }
    return text;
}

void FullImage::Load(SFileImage& image) {
    image.cpu = CpuType::DSP56F807;
    image.ApplyCpuMemoryMap();
    image.ReadSRecordText(SRecordText());
    for (RegionImage& region : image.regions) {
        if (region.loaded) {
            region.wordCount =
                static_cast<std::uint16_t>(region.maxAddress - region.minAddress + 1);
        }
    }
}

const SFileImage& FullImage::Shared() {
    static const std::unique_ptr<SFileImage> image = [] {
        auto loaded = std::make_unique<SFileImage>();
        Load(*loaded);
        return loaded;
    }();
    return *image;
}
