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

std::uint32_t WordsOf(const std::vector<PagePiece>& pieces) {
    std::uint32_t words = 0;
    for (const PagePiece& piece : pieces) {
        words += piece.WordCount();
    }
    return words;
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
    return ComparePiece(region, {first, last}, progress, false) == PodAnswer::Acknowledged
               ? kBlockOk
               : kBlockVerifyFailed;
}

PodAnswer RegionProgrammer::ComparePiece(MemoryRegion region, const PagePiece& piece,
                                         std::uint32_t progress, bool blank) {
    indicators_.ShowStatus(RegionProtocol::For(region).verifyingText);
    indicators_.ShowProgress(progress);
    if (!IsValidBlock(piece.first, piece.last) ||
        !StreamBlock(region, piece.first, piece.last, progress, blank)) {
        return PodAnswer::NoReply;
    }
    return SendVerifyFrame(region, piece.first);
}

// The page field carries seven bits: 0xF8 on the DSP56F807's boot flash goes out as 0x78.
bool RegionProgrammer::EraseOnePage(std::uint8_t eraseCode, std::uint32_t page) {
    return protocol_.SendFrame(kFrameWriteMs, "%cX%02X%04X%04X%c", kStx,
                               static_cast<unsigned>(eraseCode), static_cast<unsigned>(page & 0x7F),
                               static_cast<unsigned>(protocol_.ProgramRamStart()), kEtx) &&
           protocol_.AwaitAck(kFlashReplyMs);
}

// Erases the page of each piece (pieces never share a page), or the whole boot flash with one
// X frame.
bool RegionProgrammer::EraseRegionPages(MemoryRegion region, const std::vector<PagePiece>& pages,
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
    const auto count = static_cast<std::uint32_t>(pages.size());
    indicators_.ShowRange(count);
    for (std::uint32_t erased = 0; erased < count; ++erased) {
        if (!EraseOnePage(eraseCode, pages[erased].first >> 8)) {
            return false;
        }
        indicators_.ShowProgress(erased + 1);
    }
    return true;
}

PodResult RegionProgrammer::EraseAndWriteRegion(MemoryRegion region, bool verify,
                                                bool eraseAllBoot) {
    if (Skips(region)) {
        return kPodOk;
    }
    const std::uint32_t start = image_.Region(region).minAddress;
    const std::uint32_t end = image_.Region(region).maxAddress;
    if (start > end) {
        // An inverted extent names no pages to erase.
        return RegionProtocol::For(region).eraseError;
    }
    std::uint32_t written = 0;
    return EraseAndWritePieces(region, verify, eraseAllBoot, PagePieces(start, end), written);
}

// Target Write's frames for these pieces' pages: first every erase, then every piece's
// block. The progress bar counts the pages erased, then the words written.
PodResult RegionProgrammer::EraseAndWritePieces(MemoryRegion region, bool verify, bool eraseAllBoot,
                                                const std::vector<PagePiece>& pieces,
                                                std::uint32_t& written) {
    const RegionProtocol& codes = RegionProtocol::For(region);
    indicators_.ShowStatus(codes.erasingText);
    indicators_.ShowProgress(0);
    if (!EraseRegionPages(region, pieces, eraseAllBoot)) {
        return codes.eraseError;
    }
    const std::uint32_t words = WordsOf(pieces);
    indicators_.ShowProgress(0);
    indicators_.ShowRange(words);
    std::uint32_t done = 0;
    for (const PagePiece& piece : pieces) {
        const BlockResult result = WriteBlock(region, verify, piece.first, piece.last, done);
        if (result == kBlockVerifyFailed) {
            return codes.verifyError;
        }
        if (result != kBlockOk) {
            return codes.writeError;
        }
        ++written;
        done += piece.WordCount();
    }
    indicators_.ShowProgress(words);
    return kPodOk;
}

PodResult RegionProgrammer::WriteChangedPages(MemoryRegion region, bool verify, bool eraseAllBoot,
                                              ChangedPages& counts) {
    if (Skips(region)) {
        return kPodOk;
    }
    const std::uint32_t start = image_.Region(region).minAddress;
    const std::uint32_t end = image_.Region(region).maxAddress;
    if (start > end) {
        return RegionProtocol::For(region).verifyError;  // the compare comes first
    }
    const std::vector<PagePiece> pieces = PagePieces(start, end);
    counts.pages = static_cast<std::uint32_t>(pieces.size());
    std::vector<PagePiece> differing;
    if (const PodResult compared = ComparePieces(region, pieces, differing, counts);
        compared != kPodOk || differing.empty()) {
        return compared;
    }
    // Erasing the whole boot flash takes every page of it, so all of them are written again.
    const bool wholeBoot = region == MemoryRegion::BFLASH && eraseAllBoot;
    return EraseAndWritePieces(region, verify, eraseAllBoot, wholeBoot ? pieces : differing,
                               counts.written);
}

// A piece the pod answers as different is kept for writing; one it does not answer for (or
// whose words it objected to) is the region's verify error, never a difference.
PodResult RegionProgrammer::ComparePieces(MemoryRegion region, const std::vector<PagePiece>& pieces,
                                          std::vector<PagePiece>& differing, ChangedPages& counts) {
    const std::uint32_t words = WordsOf(pieces);
    indicators_.ShowProgress(0);
    indicators_.ShowRange(words);
    std::uint32_t done = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const PodAnswer answer = ComparePiece(region, pieces[i], done, false);
        if (answer == PodAnswer::NoReply) {
            return RegionProtocol::For(region).verifyError;
        }
        ++counts.compared;
        if (answer == PodAnswer::Refused) {
            differing.push_back(pieces[i]);
            ++counts.differed;
        }
        done += pieces[i].WordCount();
    }
    indicators_.ShowProgress(words);
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
    const bool erased = EraseRegionPages(region, PagePieces(area.start, area.end), eraseAllBoot);
    return erased ? kPodOk : codes.eraseError;
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
        const PodAnswer answer = ComparePiece(region, piece, done, true);
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
