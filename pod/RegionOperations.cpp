#include <cstdint>

#include "CUsbPod.h"
#include "PagePieces.h"
#include "PodFrames.h"
#include "RegionProtocol.h"
#include "SFileImage.h"

using namespace PodFrames;

namespace {

// A block is one W, P or V frame: its addresses and word count must fit four hex digits.
bool IsValidBlock(std::uint32_t first, std::uint32_t last) {
    return first <= last && last <= 0xFFFF && last - first + 1 <= 0xFFFF;
}

}  // namespace

bool CUsbPod::RegionApplies(MemoryRegion region) const {
    return CpuHasRegion(image_.cpu, region);
}

// A region the file never touched still holds the cleared extent 0..0. Working on it would
// erase and write a page of the target that the image knows nothing about.
bool CUsbPod::IsUntouched(MemoryRegion region) const {
    const RegionImage& words = image_.Region(region);
    return !words.loaded && words.wordCount == 0 && words.minAddress == 0 && words.maxAddress == 0;
}

std::uint16_t CUsbPod::ImageWord(MemoryRegion region, std::uint32_t address) const {
    return image_.WordAt(region, address);
}

// S, then the block's words as T frames in batches of 50, each batch followed by a look at
// the receive queue. progress counts the words sent in the region so far.
bool CUsbPod::StreamBlock(MemoryRegion region, std::uint32_t first, std::uint32_t last,
                          std::uint32_t& progress, bool blank) {
    if (!SendFrame(kFrameWriteMs, "%cS%c", kStx, kEtx)) {
        return false;
    }
    batchLength_ = 0;
    for (std::uint32_t address = first; address <= last; ++address) {
        AppendWordToBatch(blank ? 0xFFFF : ImageWord(region, address));
        ++progress;
        if (BatchLength() >= kBatchFlushSize || address == last) {
            if (!FlushBatch()) {
                return false;
            }
            ShowProgress(progress);
        }
    }
    return true;
}

bool CUsbPod::SendVerifyFrame(MemoryRegion region, std::uint32_t first) {
    const char letter = RegionProtocol::For(region).verifyLetter;
    return SendFrame(kFrameWriteMs, "%c%c%04X%c", kStx, letter, static_cast<unsigned>(first),
                     kEtx) &&
           AwaitAck(kFlashReplyMs);
}

BlockResult CUsbPod::WriteBlock(MemoryRegion region, bool verify, std::uint32_t first,
                                std::uint32_t last, std::uint32_t progress) {
    const RegionProtocol& protocol = RegionProtocol::For(region);
    ShowStatus(protocol.writingText);
    ShowProgress(progress);
    if (!IsValidBlock(first, last)) {
        return kBlockWriteFailed;
    }
    const std::uint32_t count = last - first + 1;
    std::uint16_t checksum = 0;
    for (std::uint32_t address = first; address <= last; ++address) {
        checksum = static_cast<std::uint16_t>(checksum + ImageWord(region, address));
    }
    if (!StreamBlock(region, first, last, progress)) {
        return kBlockWriteFailed;
    }
    if (!SendFrame(kFrameWriteMs, "%cW%02X%04X%04X%04X%04X%04X%c", kStx,
                   static_cast<unsigned>(protocol.writeCode), static_cast<unsigned>(first),
                   static_cast<unsigned>(count), static_cast<unsigned>(ProgramRamStart()),
                   static_cast<unsigned>(checksum), static_cast<unsigned>(BlockParameter()),
                   kEtx) ||
        !AwaitAck(kFlashReplyMs)) {
        return kBlockWriteFailed;
    }
    if (verify) {
        ShowStatus(protocol.verifyingText);
        if (!SendVerifyFrame(region, first)) {
            return kBlockVerifyFailed;
        }
    }
    return kBlockOk;
}

BlockResult CUsbPod::VerifyBlock(MemoryRegion region, std::uint32_t first, std::uint32_t last,
                                 std::uint32_t progress) {
    ShowStatus(RegionProtocol::For(region).verifyingText);
    ShowProgress(progress);
    if (!IsValidBlock(first, last) || !StreamBlock(region, first, last, progress) ||
        !SendVerifyFrame(region, first)) {
        return kBlockVerifyFailed;
    }
    return kBlockOk;
}

// Erases only the pages the image touches, or the whole boot flash with one X frame. The
// page field carries seven bits: 0xF8 on the DSP56F807's boot flash goes out as 0x78.
bool CUsbPod::EraseRegionPages(MemoryRegion region, std::uint32_t start, std::uint32_t end,
                               bool eraseAllBoot) {
    if (region == MemoryRegion::BFLASH && eraseAllBoot) {
        ShowRange(1);
        if (!SendFrame(kFrameWriteMs, "%cX%02X%04X%04X%c", kStx,
                       static_cast<unsigned>(kEraseWholeBootFlash), 0u,
                       static_cast<unsigned>(ProgramRamStart()), kEtx) ||
            !AwaitAck(kFlashReplyMs)) {
            return false;
        }
        ShowProgress(1);
        return true;
    }
    const std::uint8_t eraseCode = RegionProtocol::For(region).eraseCode;
    const std::uint32_t firstPage = start >> 8;
    const std::uint32_t lastPage = end >> 8;
    ShowRange(lastPage - firstPage + 1);
    for (std::uint32_t page = firstPage; page <= lastPage; ++page) {
        if (!SendFrame(kFrameWriteMs, "%cX%02X%04X%04X%c", kStx, static_cast<unsigned>(eraseCode),
                       static_cast<unsigned>(page & 0x7F), static_cast<unsigned>(ProgramRamStart()),
                       kEtx) ||
            !AwaitAck(kFlashReplyMs)) {
            return false;
        }
        ShowProgress(page - firstPage + 1);
    }
    return true;
}

PodResult CUsbPod::EraseAndWriteRegion(MemoryRegion region, bool verify, bool eraseAllBoot) {
    if (!RegionApplies(region) || IsUntouched(region)) {
        return kPodOk;
    }
    const RegionProtocol& protocol = RegionProtocol::For(region);
    const std::uint32_t start = image_.Region(region).minAddress;
    const std::uint32_t end = image_.Region(region).maxAddress;
    if (start > end) {
        return protocol.eraseError;  // an inverted extent names no pages to erase
    }
    ShowStatus(protocol.erasingText);
    ShowProgress(0);
    if (!EraseRegionPages(region, start, end, eraseAllBoot)) {
        return protocol.eraseError;
    }
    ShowProgress(0);
    ShowRange(end - start + 1);
    std::uint32_t done = 0;
    for (const PagePiece& piece : PagePieces(start, end)) {
        const BlockResult result = WriteBlock(region, verify, piece.first, piece.last, done);
        if (result == kBlockVerifyFailed) {
            return protocol.verifyError;
        }
        if (result != kBlockOk) {
            return protocol.writeError;
        }
        done += piece.WordCount();
    }
    ShowProgress(end - start + 1);
    return kPodOk;
}

PodResult CUsbPod::VerifyRegion(MemoryRegion region) {
    if (!RegionApplies(region) || IsUntouched(region)) {
        return kPodOk;
    }
    const RegionProtocol& protocol = RegionProtocol::For(region);
    const std::uint32_t start = image_.Region(region).minAddress;
    const std::uint32_t end = image_.Region(region).maxAddress;
    if (start > end) {
        return protocol.verifyError;
    }
    ShowProgress(0);
    ShowRange(end - start + 1);
    std::uint32_t done = 0;
    for (const PagePiece& piece : PagePieces(start, end)) {
        if (VerifyBlock(region, piece.first, piece.last, done) != kBlockOk) {
            return protocol.verifyError;
        }
        done += piece.WordCount();
    }
    ShowProgress(end - start + 1);
    return kPodOk;
}
