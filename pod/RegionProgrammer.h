#pragma once

#include <cstdint>
#include <vector>

#include "BlankRegion.h"
#include "ChangedPages.h"
#include "MemoryRegion.h"
#include "PagePieces.h"
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
    // Compares every piece of the image's extent first, as VerifyRegion does, then erases and
    // writes only the pages whose pieces differ, with Target Write's frames for each (BFLASH
    // erased whole with eraseAllBoot: then all its pages). 0 or the region's error code.
    PodResult WriteChangedPages(MemoryRegion region, bool verify, bool eraseAllBoot,
                                ChangedPages& counts);

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
    // S, T frames and the verify letter frame for one piece; a stream the pod objected to
    // counts as no reply.
    PodAnswer ComparePiece(MemoryRegion region, const PagePiece& piece, std::uint32_t progress,
                           bool blank);
    PodResult ComparePieces(MemoryRegion region, const std::vector<PagePiece>& pieces,
                            std::vector<PagePiece>& differing, ChangedPages& counts);
    // Erases the pieces' pages, then writes the pieces; written counts the acknowledged ones.
    PodResult EraseAndWritePieces(MemoryRegion region, bool verify, bool eraseAllBoot,
                                  const std::vector<PagePiece>& pieces, std::uint32_t& written);
    bool EraseRegionPages(MemoryRegion region, const std::vector<PagePiece>& pages,
                          bool eraseAllBoot);
    bool EraseOnePage(std::uint8_t eraseCode, std::uint32_t page);
    bool Skips(MemoryRegion region) const;

    PodProtocol& protocol_;
    const SFileImage& image_;
    PodIndicators& indicators_;
};
