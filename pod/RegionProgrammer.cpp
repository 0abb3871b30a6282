#include "RegionProgrammer.h"

#include "PagePieces.h"
#include "PodFrames.h"
#include "PodIndicators.h"
#include "PodProtocol.h"
#include "RegionProtocol.h"
#include "SFileImage.h"
#include "UntouchedRegion.h"

using namespace PodFrames;

namespace {

// A block is one W, P or V frame: its addresses and word count must fit four hex digits.
bool IsValidBlock(std::uint32_t first, std::uint32_t last) {
    return first <= last && last <= 0xFFFF && last - first + 1 <= 0xFFFF;
}

}  // namespace

RegionProgrammer::RegionProgrammer(PodProtocol& protocol, const SFileImage& image,
                                   PodIndicators& indicators)
    : protocol_(protocol), image_(image), indicators_(indicators) {}

// A region the CPU does not have, or one the file never touched, is left alone.
bool RegionProgrammer::Skips(MemoryRegion region) const {
    return !CpuHasRegion(image_.cpu, region) || IsUntouchedRegion(image_.Region(region));
}

// S, then the block's words as T frames in batches of 50, each batch followed by a look at
// the receive queue.
bool RegionProgrammer::StreamBlock(MemoryRegion region, std::uint32_t first, std::uint32_t last,
                                   std::uint32_t& progress, bool blank) {
    if (!protocol_.SendFrame(kFrameWriteMs, "%cS%c", kStx, kEtx)) {
        return false;
    }
    protocol_.StartBatch();
    for (std::uint32_t address = first; address <= last; ++address) {
        protocol_.AppendWordToBatch(blank ? 0xFFFF : image_.WordAt(region, address));
        ++progress;
        if (protocol_.BatchLength() >= kBatchFlushSize || address == last) {
            if (!protocol_.FlushBatch()) {
                return false;
            }
            indicators_.ShowProgress(progress);
        }
    }
    return true;
}

PodAnswer RegionProgrammer::SendVerifyFrame(MemoryRegion region, std::uint32_t first) {
    const char letter = RegionProtocol::For(region).verifyLetter;
    if (!protocol_.SendFrame(kFrameWriteMs, "%c%c%04X%c", kStx, letter,
                             static_cast<unsigned>(first), kEtx)) {
        return PodAnswer::NoReply;
    }
    return protocol_.AwaitAnswer(kFlashReplyMs);
}

BlockResult RegionProgrammer::WriteBlock(MemoryRegion region, bool verify, std::uint32_t first,
                                         std::uint32_t last, std::uint32_t progress) {
    const RegionProtocol& codes = RegionProtocol::For(region);
    indicators_.ShowStatus(codes.writingText);
    indicators_.ShowProgress(progress);
    if (!IsValidBlock(first, last)) {
        return kBlockWriteFailed;
    }
    const std::uint32_t count = last - first + 1;
    std::uint16_t checksum = 0;
    for (std::uint32_t address = first; address <= last; ++address) {
        checksum = static_cast<std::uint16_t>(checksum + image_.WordAt(region, address));
    }
    if (!StreamBlock(region, first, last, progress)) {
        return kBlockWriteFailed;
    }
    if (!protocol_.SendFrame(kFrameWriteMs, "%cW%02X%04X%04X%04X%04X%04X%c", kStx,
                             static_cast<unsigned>(codes.writeCode), static_cast<unsigned>(first),
                             static_cast<unsigned>(count),
                             static_cast<unsigned>(protocol_.ProgramRamStart()),
                             static_cast<unsigned>(checksum),
                             static_cast<unsigned>(protocol_.BlockParameter()), kEtx) ||
        !protocol_.AwaitAck(kFlashReplyMs)) {
        return kBlockWriteFailed;
    }
    if (verify) {
        indicators_.ShowStatus(codes.verifyingText);
        if (SendVerifyFrame(region, first) != PodAnswer::Acknowledged) {
            return kBlockVerifyFailed;
        }
    }
    return kBlockOk;
}

BlockResult RegionProgrammer::VerifyBlock(MemoryRegion region, std::uint32_t first,
                                          std::uint32_t last, std::uint32_t progress) {
    indicators_.ShowStatus(RegionProtocol::For(region).verifyingText);
    indicators_.ShowProgress(progress);
    if (!IsValidBlock(first, last) || !StreamBlock(region, first, last, progress) ||
        SendVerifyFrame(region, first) != PodAnswer::Acknowledged) {
        return kBlockVerifyFailed;
    }
    return kBlockOk;
}

// The page field carries seven bits: 0xF8 on the DSP56F807's boot flash goes out as 0x78.
bool RegionProgrammer::EraseOnePage(std::uint8_t eraseCode, std::uint32_t page) {
    return protocol_.SendFrame(kFrameWriteMs, "%cX%02X%04X%04X%c", kStx,
                               static_cast<unsigned>(eraseCode), static_cast<unsigned>(page & 0x7F),
                               static_cast<unsigned>(protocol_.ProgramRamStart()), kEtx) &&
           protocol_.AwaitAck(kFlashReplyMs);
}

// Erases only the pages start..end touches, or the whole boot flash with one X frame.
bool RegionProgrammer::EraseRegionPages(MemoryRegion region, std::uint32_t start, std::uint32_t end,
                                        bool eraseAllBoot) {
    if (region == MemoryRegion::BFLASH && eraseAllBoot) {
        indicators_.ShowRange(1);
        if (!EraseOnePage(kEraseWholeBootFlash, 0)) {
            return false;
        }
        indicators_.ShowProgress(1);
        return true;
    }
    const std::uint8_t eraseCode = RegionProtocol::For(region).eraseCode;
    const std::uint32_t firstPage = start >> 8;
    const std::uint32_t lastPage = end >> 8;
    indicators_.ShowRange(lastPage - firstPage + 1);
    for (std::uint32_t page = firstPage; page <= lastPage; ++page) {
        if (!EraseOnePage(eraseCode, page)) {
            return false;
        }
        indicators_.ShowProgress(page - firstPage + 1);
    }
    return true;
}

PodResult RegionProgrammer::EraseAndWriteRegion(MemoryRegion region, bool verify,
                                                bool eraseAllBoot) {
    if (Skips(region)) {
        return kPodOk;
    }
    const RegionProtocol& codes = RegionProtocol::For(region);
    const std::uint32_t start = image_.Region(region).minAddress;
    const std::uint32_t end = image_.Region(region).maxAddress;
    if (start > end) {
        return codes.eraseError;  // an inverted extent names no pages to erase
    }
    indicators_.ShowStatus(codes.erasingText);
    indicators_.ShowProgress(0);
    if (!EraseRegionPages(region, start, end, eraseAllBoot)) {
        return codes.eraseError;
    }
    indicators_.ShowProgress(0);
    indicators_.ShowRange(end - start + 1);
    std::uint32_t done = 0;
    for (const PagePiece& piece : PagePieces(start, end)) {
        const BlockResult result = WriteBlock(region, verify, piece.first, piece.last, done);
        if (result == kBlockVerifyFailed) {
            return codes.verifyError;
        }
        if (result != kBlockOk) {
            return codes.writeError;
        }
        done += piece.WordCount();
    }
    indicators_.ShowProgress(end - start + 1);
    return kPodOk;
}

PodResult RegionProgrammer::VerifyRegion(MemoryRegion region) {
    if (Skips(region)) {
        return kPodOk;
    }
    const RegionProtocol& codes = RegionProtocol::For(region);
    const std::uint32_t start = image_.Region(region).minAddress;
    const std::uint32_t end = image_.Region(region).maxAddress;
    if (start > end) {
        return codes.verifyError;
    }
    indicators_.ShowProgress(0);
    indicators_.ShowRange(end - start + 1);
    std::uint32_t done = 0;
    for (const PagePiece& piece : PagePieces(start, end)) {
        if (VerifyBlock(region, piece.first, piece.last, done) != kBlockOk) {
            return codes.verifyError;
        }
        done += piece.WordCount();
    }
    indicators_.ShowProgress(end - start + 1);
    return kPodOk;
}

// Target Write's erase step over the region's whole extent in the memory map.
PodResult RegionProgrammer::EraseWholeRegion(MemoryRegion region, bool eraseAllBoot) {
    const RegionProtocol& codes = RegionProtocol::For(region);
    const AddressArea& area = image_.map.Region(region);
    if (area.size == 0) {
        return kPodOk;
    }
    indicators_.ShowStatus(codes.erasingText);
    indicators_.ShowProgress(0);
    return EraseRegionPages(region, area.start, area.end, eraseAllBoot) ? kPodOk : codes.eraseError;
}

// The pod compares a whole piece at once, so a piece that differs is all it can tell. A
// refusal means the words differ and the pod is still in step; no answer, or a stream it
// objected to, ends the check.
PodResult RegionProgrammer::BlankCheckRegion(MemoryRegion region, BlankRegion& report) {
    const RegionProtocol& codes = RegionProtocol::For(region);
    const AddressArea& area = image_.map.Region(region);
    if (area.size == 0) {
        report.checked = report.blank = true;
        return kPodOk;
    }
    indicators_.ShowProgress(0);
    indicators_.ShowRange(area.size);
    std::uint32_t done = 0;
    for (const PagePiece& piece : PagePieces(area.start, area.end)) {
        indicators_.ShowStatus(codes.verifyingText);
        indicators_.ShowProgress(done);
        std::uint32_t progress = done;
        if (!StreamBlock(region, piece.first, piece.last, progress, true)) {
            return codes.verifyError;
        }
        const PodAnswer answer = SendVerifyFrame(region, piece.first);
        if (answer == PodAnswer::NoReply) {
            return codes.verifyError;
        }
        if (answer == PodAnswer::Refused) {
            report.checked = true;
            report.differsFirst = piece.first;
            report.differsLast = piece.last;
            return codes.verifyError;
        }
        done += piece.WordCount();
    }
    indicators_.ShowProgress(area.size);
    report.checked = report.blank = true;
    return kPodOk;
}
