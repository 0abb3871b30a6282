#pragma once

#include <cstdint>

#include "BlankRegion.h"
#include "MemoryRegion.h"
#include "PodAnswer.h"
#include "PodResult.h"

class PodIndicators;
class PodProtocol;
class SFileImage;

// The target's flash, one region at a time: erasing pages, streaming words, and having the
// pod program or compare blocks and whole regions. Addresses are target word addresses.
class RegionProgrammer {
public:
    RegionProgrammer(PodProtocol& protocol, const SFileImage& image, PodIndicators& indicators);

    // One block, at most one page: S, the words as T frames, then W (and P or V) or P or V.
    BlockResult WriteBlock(MemoryRegion region, bool verify, std::uint32_t first,
                           std::uint32_t last, std::uint32_t progress);
    BlockResult VerifyBlock(MemoryRegion region, std::uint32_t first, std::uint32_t last,
                            std::uint32_t progress);
    // The image's extent of the region: 0 or the region's erase, write or verify error.
    PodResult EraseAndWriteRegion(MemoryRegion region, bool verify, bool eraseAllBoot);
    PodResult VerifyRegion(MemoryRegion region);

    // The region's whole extent in the CPU's memory map, whatever the image holds.
    PodResult EraseWholeRegion(MemoryRegion region, bool eraseAllBoot);
    // Compares every word with 0xFFFF in page pieces; report.checked tells whether the pod
    // answered every compare up to the verdict, so that a check may go on after it.
    PodResult BlankCheckRegion(MemoryRegion region, BlankRegion& report);

private:
    // blank: every word 0xFFFF instead of the image's. progress counts the region's words.
    bool StreamBlock(MemoryRegion region, std::uint32_t first, std::uint32_t last,
                     std::uint32_t& progress, bool blank = false);
    PodAnswer SendVerifyFrame(MemoryRegion region, std::uint32_t first);
    bool EraseRegionPages(MemoryRegion region, std::uint32_t start, std::uint32_t end,
                          bool eraseAllBoot);
    bool EraseOnePage(std::uint8_t eraseCode, std::uint32_t page);
    bool Skips(MemoryRegion region) const;

    PodProtocol& protocol_;
    const SFileImage& image_;
    PodIndicators& indicators_;
};
