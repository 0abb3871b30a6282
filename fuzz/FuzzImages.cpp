#include "FuzzImages.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "RegionRows.h"
#include "SFileImage.h"

namespace {

struct Block {
    std::uint32_t address;  // file address (data space with its offset)
    std::uint32_t words;
};

struct Layout {
    CpuType cpu;
    std::vector<Block> blocks;
};

std::string S3(std::uint32_t address, const std::vector<std::uint16_t>& words) {
    std::vector<std::uint8_t> body = {
        static_cast<std::uint8_t>(words.size() * 2 + 5), static_cast<std::uint8_t>(address >> 24),
        static_cast<std::uint8_t>(address >> 16), static_cast<std::uint8_t>(address >> 8),
        static_cast<std::uint8_t>(address)};
    for (const std::uint16_t w : words) {
        body.push_back(static_cast<std::uint8_t>(w));
        body.push_back(static_cast<std::uint8_t>(w >> 8));
    }
    unsigned sum = 0;
    std::string text = "S3";
    char hex[3];
    for (const std::uint8_t b : body) {
        sum += b;
        std::snprintf(hex, sizeof hex, "%02X", b);
        text += hex;
    }
    std::snprintf(hex, sizeof hex, "%02X", (~sum) & 0xFFu);
    return text + hex + "\n";
}

std::string Text(const Layout& layout) {
    std::string text;
    std::uint32_t seed = 0x1234567;
    for (const Block& block : layout.blocks) {
        for (std::uint32_t done = 0; done < block.words; done += 16) {
            std::vector<std::uint16_t> words;
            for (std::uint32_t i = done; i < block.words && i < done + 16; ++i) {
                seed = seed * 1103515245u + 12345u;
                words.push_back(static_cast<std::uint16_t>(seed >> 8));
            }
            text += S3(block.address + done, words);
        }
    }
    return text;
}

std::unique_ptr<SFileImage> Build(const Layout& layout) {
    auto image = std::make_unique<SFileImage>();
    image->cpu = layout.cpu;
    image->ApplyCpuMemoryMap();
    image->ReadSRecordText(Text(layout));
    ListPresentRegions(*image);
    return image;
}

const std::vector<std::unique_ptr<SFileImage>>& All() {
    static const std::vector<std::unique_ptr<SFileImage>> images = [] {
        const Layout layouts[FuzzImages::kCount] = {
            {CpuType::DSP56F807,
             {{0x0000, 4}, {0x00F0, 0xB1}, {0x80F8, 0x11}, {0xF804, 0x0C}, {0x2020F0, 0x21}}},
            {CpuType::DSP56F805, {{0x0004, 0x3D}, {0x8000, 6}, {0x201000, 1}}},
            {CpuType::DSP56F803, {{0x201000, 0x86}}},
            {CpuType::DSP56F807, {{0xFF80, 0x80}, {0x0000, 4}}},
            {CpuType::DSP56F801, {{0x0004, 0x20}, {0x8000, 0x10}, {0x2017F0, 0x10}}},
            {CpuType::DSP56F805, {}},
        };
        std::vector<std::unique_ptr<SFileImage>> built;
        for (const Layout& layout : layouts) {
            built.push_back(Build(layout));
        }
        return built;
    }();
    return images;
}

}  // namespace

const SFileImage& FuzzImages::At(std::size_t index) {
    return *All()[index % kCount];
}

std::array<std::uint8_t, 28> FuzzImages::InfoReplyFor(const SFileImage& image) {
    std::array<std::uint8_t, 28> reply{};
    reply[0] = '!';
    reply[1] = 'w';
    reply[2] = static_cast<std::uint8_t>(image.cpu);
    reply[3] = 1;
    std::size_t at = 4;
    for (const MemoryRegion region : kAllRegions) {
        const RegionImage& words = image.Region(region);
        for (const std::uint16_t value : {words.minAddress, words.maxAddress, words.wordCount}) {
            reply[at++] = static_cast<std::uint8_t>(value);
            reply[at++] = static_cast<std::uint8_t>(value >> 8);
        }
    }
    return reply;
}
