#include "SFileImage.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "SRecordReader.h"
#include "Utf8Path.h"

namespace {

constexpr std::size_t kReadChunkSize = 64 * 1024;

constexpr std::array<std::uint32_t, kRegionCount> RegionOffsets() {
    std::array<std::uint32_t, kRegionCount> offsets{};
    std::uint32_t offset = 0;
    for (int i = 0; i < kRegionCount; ++i) {
        offsets[i] = offset;
        offset += SFileImage::kRegionCapacity[i];
    }
    return offsets;
}

static_assert(SFileImage::kRegionCapacity[0] + SFileImage::kRegionCapacity[1] +
                      SFileImage::kRegionCapacity[2] + SFileImage::kRegionCapacity[3] ==
                  SFileImage::kTotalWords,
              "region capacities must fill the fixed storage");

}  // namespace

SFileImage::SFileImage()
    : storage_(new std::uint16_t[kTotalWords]),
      written_(new bool[kTotalWords]),
      readBuffer_(new char[kReadChunkSize]) {
    const auto offsets = RegionOffsets();
    for (int i = 0; i < kRegionCount; ++i) {
        regions[i].words = storage_.get() + offsets[i];
        regions[i].capacity = kRegionCapacity[i];
    }
    ClearImage();
    ApplyCpuMemoryMap();
}

void SFileImage::ClearImage() {
    std::fill_n(storage_.get(), kTotalWords, std::uint16_t{0xFFFF});
    std::fill_n(written_.get(), kTotalWords, false);
    for (RegionImage& region : regions) {
        region.minAddress = 0;
        region.maxAddress = 0;
        region.wordCount = 0;
        region.loaded = false;
    }
    diagnostics = SRecordDiagnostics{};
}

void SFileImage::ApplyCpuMemoryMap() {
    if (static_cast<unsigned>(cpu) <= static_cast<unsigned>(CpuType::DSP56F807)) {
        map = MemoryMapFor(cpu);
    }
}

bool SFileImage::IsPresent(MemoryRegion region) const {
    if (!CpuHasRegion(cpu, region)) {
        return false;
    }
    return Region(region).loaded;
}

std::uint16_t SFileImage::WordAt(MemoryRegion region, std::uint32_t address) const {
    const AddressArea& area = Area(region);
    const RegionImage& image = Region(region);
    if (address < area.start || address - area.start >= std::min(area.size, image.capacity)) {
        return 0xFFFF;
    }
    return image.words[address - area.start];
}

bool SFileImage::IsFilled(MemoryRegion region, std::uint32_t address) const {
    const AddressArea& area = Area(region);
    const RegionImage& image = Region(region);
    if (address < area.start || address - area.start >= std::min(area.size, image.capacity)) {
        return false;
    }
    return written_[static_cast<std::size_t>(image.words - storage_.get()) +
                    (address - area.start)];
}

bool SFileImage::ReadSFile(const std::string& path,
                           const std::function<void(const char*, std::size_t)>& seen) {
    ClearImage();
    std::error_code error;
    if (std::filesystem::is_directory(Utf8Path(path), error)) {
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    SRecordReader reader(*this);
    bool failed = false;
    for (;;) {
        const std::size_t got = std::fread(readBuffer_.get(), 1, kReadChunkSize, file);
        reader.Feed(readBuffer_.get(), got);
        if (seen && got != 0) {
            seen(readBuffer_.get(), got);
        }
        if (got < kReadChunkSize) {
            failed = std::ferror(file) != 0;
            break;
        }
    }
    std::fclose(file);
    if (failed) {
        // A read error part-way leaves an image nobody should flash.
        ClearImage();
        return false;
    }
    reader.Finish();
    return true;
}

void SFileImage::ReadSRecordText(std::string_view text) {
    ClearImage();
    SRecordReader reader(*this);
    reader.Feed(text.data(), text.size());
    reader.Finish();
}

void SFileImage::StoreWord(std::uint32_t address, std::uint16_t word, std::uint32_t line) {
    // The regions do not overlap, so at most one test below matches.
    bool stored = false;
    const AddressArea& pflash = map.PFLASH;
    if (address >= pflash.start + 4 && address <= pflash.end) {
        Store(MemoryRegion::PFLASH, address - pflash.start, static_cast<std::uint16_t>(address),
              word, line);
        stored = true;
    }
    const AddressArea& p2flash = map.P2FLASH;
    if (CpuHasRegion(cpu, MemoryRegion::P2FLASH) && p2flash.Contains(address)) {
        Store(MemoryRegion::P2FLASH, address - p2flash.start, static_cast<std::uint16_t>(address),
              word, line);
        stored = true;
    }
    const AddressArea& bflash = map.BFLASH;
    if (bflash.Contains(address)) {
        Store(MemoryRegion::BFLASH, address - bflash.start, static_cast<std::uint16_t>(address),
              word, line);
        stored = true;
    } else if (address <= 3) {
        // The reset and interrupt vectors at 0-3 belong to the boot flash image.
        Store(MemoryRegion::BFLASH, address, static_cast<std::uint16_t>(bflash.start + address),
              word, line);
        stored = true;
    }
    const AddressArea& dflash = map.DFLASH;
    if (address >= dflash.start + DataSpaceOffset && address <= dflash.end + DataSpaceOffset) {
        const std::uint32_t dataAddress = address - DataSpaceOffset;
        Store(MemoryRegion::DFLASH, dataAddress - dflash.start,
              static_cast<std::uint16_t>(dataAddress), word, line);
        stored = true;
    }
    if (!stored) {
        if (diagnostics.droppedWords++ == 0) {
            diagnostics.firstDroppedLine = line;
        }
    }
}

void SFileImage::Store(MemoryRegion region, std::uint32_t element, std::uint16_t recorded,
                       std::uint16_t word, std::uint32_t line) {
    RegionImage& image = Region(region);
    if (element >= image.capacity) {
        return;  // cannot happen with the fixed maps; guards the storage all the same
    }
    // The last record wins, but a different value is worth a warning.
    bool& written = written_[static_cast<std::size_t>(image.words - storage_.get()) + element];
    if (written && image.words[element] != word && diagnostics.conflictingWords++ == 0) {
        diagnostics.firstConflictingLine = line;
    }
    written = true;
    image.words[element] = word;
    ++image.wordCount;
    if (!image.loaded) {
        image.loaded = true;
        image.minAddress = recorded;
        image.maxAddress = recorded;
    } else if (recorded > image.maxAddress) {
        image.maxAddress = recorded;
    } else if (recorded < image.minAddress) {
        image.minAddress = recorded;
    }
}
