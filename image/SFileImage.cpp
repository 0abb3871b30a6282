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
      state_(new std::uint8_t[kTotalWords]),
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
    std::fill_n(state_.get(), kTotalWords, std::uint8_t{kUnwritten});
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
    return state_[static_cast<std::size_t>(image.words - storage_.get()) +
                  (address - area.start)] != kUnwritten;
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

void SFileImage::StoreWords(std::uint32_t address, const std::uint8_t* bytes,
                            std::uint32_t count, std::uint32_t line) {
    if (count == 0 || StoreInOneRegion(address, bytes, count, line)) {
        return;
    }
    // A word whose address would pass 0xFFFFFFFF has none: it must not wrap to 0, the
    // reset vector.
    const std::uint64_t room = std::uint64_t{0x100000000} - address;
    const std::uint32_t stored = count < room ? count : static_cast<std::uint32_t>(room);
    for (std::uint32_t i = 0; i < stored; ++i) {
        StoreWord(address + i,
                  static_cast<std::uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8)), line);
    }
    for (std::uint32_t i = stored; i < count; ++i) {
        diagnostics.droppedWords.Note(line);
    }
}

bool SFileImage::StoreInOneRegion(std::uint32_t address, const std::uint8_t* bytes,
                                  std::uint32_t count, std::uint32_t line) {
    // The common case, a record inside one region away from the vectors, in one tight loop;
    // StoreWord decides every other word by word, with the same result.
    const std::uint64_t last = std::uint64_t{address} + count - 1;
    MemoryRegion region;
    std::uint32_t start;
    std::uint32_t offset = 0;
    if (address >= map.PFLASH.start + 4 && last <= map.PFLASH.end) {
        region = MemoryRegion::PFLASH;
        start = map.PFLASH.start;
    } else if (CpuHasRegion(cpu, MemoryRegion::P2FLASH) && address >= map.P2FLASH.start &&
               last <= map.P2FLASH.end) {
        region = MemoryRegion::P2FLASH;
        start = map.P2FLASH.start;
    } else if (address >= map.BFLASH.start && last <= map.BFLASH.end) {
        region = MemoryRegion::BFLASH;
        start = map.BFLASH.start;
    } else if (address >= map.DFLASH.start + DataSpaceOffset &&
               last <= map.DFLASH.end + DataSpaceOffset) {
        region = MemoryRegion::DFLASH;
        start = map.DFLASH.start;
        offset = DataSpaceOffset;
    } else {
        return false;
    }
    RegionImage& image = Region(region);
    const std::uint32_t element = address - offset - start;
    if (element + count > image.capacity) {
        return false;  // cannot happen with the fixed maps; StoreWord guards the storage
    }
    std::uint16_t* words = image.words + element;
    std::uint8_t* state = StateOf(image) + element;
    for (std::uint32_t i = 0; i < count; ++i) {
        const auto word = static_cast<std::uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        // Only a word's first, second and first changed store have something to note.
        if (state[i] == kUnwritten) {
            state[i] = kWritten;
        } else if (state[i] != kChanged && (state[i] != kRewritten || words[i] != word)) {
            NoteWrite(state[i], words[i], word, line);
        }
        words[i] = word;
    }
    NoteStored(image, static_cast<std::uint16_t>(address - offset),
               static_cast<std::uint16_t>(last - offset), count);
    return true;
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
        diagnostics.droppedWords.Note(line);
    }
}

void SFileImage::Store(MemoryRegion region, std::uint32_t element, std::uint16_t recorded,
                       std::uint16_t word, std::uint32_t line) {
    RegionImage& image = Region(region);
    if (element >= image.capacity) {
        return;  // cannot happen with the fixed maps; guards the storage all the same
    }
    // The last record wins, but a different value is worth a warning.
    NoteWrite(StateOf(image)[element], image.words[element], word, line);
    image.words[element] = word;
    NoteStored(image, recorded, recorded, 1);
}

void SFileImage::NoteWrite(std::uint8_t& state, std::uint16_t before, std::uint16_t word,
                           std::uint32_t line) {
    if (state == kUnwritten) {
        state = kWritten;
        return;
    }
    if (state == kWritten) {
        ++diagnostics.rewrittenWords;
        state = kRewritten;
    }
    if (state == kRewritten && before != word) {
        diagnostics.conflictingWords.Note(line);
        state = kChanged;
    }
}

void SFileImage::NoteStored(RegionImage& image, std::uint16_t first, std::uint16_t last,
                            std::uint32_t count) {
    // wordCount counts every store and wraps as the 16-bit count it is.
    image.wordCount = static_cast<std::uint16_t>(image.wordCount + count);
    if (!image.loaded) {
        image.loaded = true;
        image.minAddress = first;
        image.maxAddress = last;
        return;
    }
    image.minAddress = std::min(image.minAddress, first);
    image.maxAddress = std::max(image.maxAddress, last);
}
