#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "CpuMemoryMap.h"
#include "CpuType.h"
#include "MemoryRegion.h"
#include "RegionImage.h"
#include "SRecordDiagnostics.h"

// The program image: one word image per flash region of the selected CPU, read from a
// Motorola S-record file. All addresses are 16-bit-word addresses of the target.
class SFileImage {
public:
    // Data-space words appear in S-record files at their data-space address plus this.
    static constexpr std::uint32_t DataSpaceOffset = 0x200000;

    // Capacity of each region's word array: its largest size over all CPUs.
    static constexpr std::array<std::uint32_t, kRegionCount> kRegionCapacity = {32768, 28672, 2048,
                                                                                8192};
    static constexpr std::uint32_t kTotalWords = 71680;

    // Allocates the fixed word storage once, clears it and applies the DSP56F807 map.
    SFileImage();
    SFileImage(const SFileImage&) = delete;
    SFileImage& operator=(const SFileImage&) = delete;

    CpuType cpu = CpuType::DSP56F807;
    CpuMemoryMap map;
    std::array<RegionImage, kRegionCount> regions;
    SRecordDiagnostics diagnostics;

    // Every word of all regions becomes 0xFFFF, every range and count 0.
    void ClearImage();
    // Sets map from cpu; a cpu above 3 leaves the map as it was.
    void ApplyCpuMemoryMap();
    // Clears the image and reads every S3 record of the file. False only when the file
    // cannot be opened or read (a folder, no permission); the image then stays cleared.
    // `seen`, when given, is handed every byte read, in order: a digest of exactly what was
    // loaded, even from a pipe or a file that changes under the reader.
    bool ReadSFile(const std::string& path,
                   const std::function<void(const char*, std::size_t)>& seen = nullptr);
    // The same reader over text already in memory (tests, fuzzing).
    void ReadSRecordText(std::string_view text);

    RegionImage& Region(MemoryRegion region) { return regions[RegionIndex(region)]; }
    const RegionImage& Region(MemoryRegion region) const { return regions[RegionIndex(region)]; }
    const AddressArea& Area(MemoryRegion region) const { return map.Region(region); }

    // Received words in this read; P2FLASH counts only on the DSP56F807.
    bool IsPresent(MemoryRegion region) const;

    // The word at a region address (the data-space address for DFLASH); 0xFFFF outside.
    std::uint16_t WordAt(MemoryRegion region, std::uint32_t address) const;
    // Whether a record of the last read stored a word at this region address.
    bool IsFilled(MemoryRegion region, std::uint32_t address) const;

private:
    friend class SRecordReader;

    // What the records of this read did to one word of the storage.
    enum WordState : std::uint8_t { kUnwritten, kWritten, kRewritten, kChanged };

    // Stores `count` words, each two bytes low byte first, from `address` on; each word lands
    // in its region or is counted as dropped, a word past 0xFFFFFFFF too.
    void StoreWords(std::uint32_t address, const std::uint8_t* bytes, std::uint32_t count,
                    std::uint32_t line);
    // The run when it lies wholly inside one region's plain range; false otherwise.
    bool StoreInOneRegion(std::uint32_t address, const std::uint8_t* bytes, std::uint32_t count,
                          std::uint32_t line);
    void StoreWord(std::uint32_t address, std::uint16_t word, std::uint32_t line);
    void Store(MemoryRegion region, std::uint32_t element, std::uint16_t recorded,
               std::uint16_t word, std::uint32_t line);
    // A word about to be stored over `before`: a word written again counts once as
    // rewritten, and once as changed.
    void NoteWrite(std::uint8_t& state, std::uint16_t before, std::uint16_t word,
                   std::uint32_t line);
    // The range and count of a region after words were stored at recorded addresses
    // first..last.
    void NoteStored(RegionImage& image, std::uint16_t first, std::uint16_t last,
                    std::uint32_t count);
    std::uint8_t* StateOf(const RegionImage& image) {
        return state_.get() + (image.words - storage_.get());
    }

    std::unique_ptr<std::uint16_t[]> storage_;
    // One WordState per stored word, so that a word written twice is counted once, and a
    // later record with another value for it can be told apart from one repeating the data.
    std::unique_ptr<std::uint8_t[]> state_;
    std::unique_ptr<char[]> readBuffer_;  // file chunks, allocated once with the storage
};
