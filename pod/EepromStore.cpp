#include <array>
#include <cstdint>

#include "CUsbPod.h"
#include "PodFrames.h"
#include "RegionProtocol.h"
#include "SFileImage.h"

using namespace PodFrames;

namespace {

// The pod keeps each region in EEPROM blocks of at most 132 words (264 bytes).
constexpr std::uint32_t kEepromBlockWords = 132;

// Store order, and the LED step of each region in it.
constexpr std::array<MemoryRegion, kRegionCount> kStoreOrder = {
    MemoryRegion::DFLASH, MemoryRegion::PFLASH, MemoryRegion::P2FLASH, MemoryRegion::BFLASH};

}  // namespace

// Y: the region's extent for the pod's info record.
bool CUsbPod::SendStoredExtent(MemoryRegion region, std::uint16_t start, std::uint16_t end,
                               std::uint16_t length) {
    return SendFrame(kFrameWriteMs, "%cY%X%04X%04X%04X%c", kStx,
                     static_cast<unsigned>(RegionProtocol::For(region).number),
                     static_cast<unsigned>(start), static_cast<unsigned>(end),
                     static_cast<unsigned>(length), kEtx) &&
           AwaitAck(kQuickReplyMs);
}

// The words the pod keeps for a region: its whole extent, as streamed. wordCount equals it
// only once a front end has listed the regions, so it is not taken from there.
std::uint16_t CUsbPod::StoredLength(MemoryRegion region) const {
    if (IsUntouched(region)) {
        return 0;
    }
    const RegionImage& words = image_.Region(region);
    return static_cast<std::uint16_t>(words.maxAddress - words.minAddress + 1);
}

// Streams the region in blocks of 132 words; after each block the pod stores it (N) or
// compares it with the stored one (Q), and a new S opens the next block.
bool CUsbPod::TransferRegionToEeprom(MemoryRegion region, bool verify) {
    const RegionProtocol& protocol = RegionProtocol::For(region);
    const RegionImage& words = image_.Region(region);
    const std::uint16_t start = words.minAddress;
    const std::uint16_t end = words.maxAddress;
    if (IsUntouched(region)) {
        return verify || SendStoredExtent(region, start, end, 0);
    }
    if (start > end) {
        return false;  // an inverted extent would be recorded without a word behind it
    }
    const std::uint16_t length = StoredLength(region);
    ShowStatus(verify ? protocol.eepromVerifyingText : protocol.eepromWritingText);
    const char letter = verify ? 'Q' : 'N';
    ShowProgress(0);
    ShowRange(length);
    if (!SendFrame(kFrameWriteMs, "%cS%c", kStx, kEtx)) {
        return false;
    }
    std::uint32_t blockIndex = 0;
    std::uint32_t wordsInBlock = 0;
    std::uint32_t progress = 0;
    batchLength_ = 0;
    for (std::uint32_t address = start; address <= end; ++address) {
        AppendWordToBatch(ImageWord(region, address));
        ++progress;
        ++wordsInBlock;
        if (wordsInBlock == kEepromBlockWords || address == end) {
            if (!FlushBatch() ||
                !SendFrame(kFrameWriteMs, "%c%c%X%04X%04X%c", kStx, letter,
                           static_cast<unsigned>(protocol.number),
                           static_cast<unsigned>(blockIndex), static_cast<unsigned>(wordsInBlock),
                           kEtx) ||
                !AwaitAck(kFlashReplyMs)) {
                return false;
            }
            ++blockIndex;
            if (!SendFrame(kFrameWriteMs, "%cS%c", kStx, kEtx)) {
                return false;
            }
            ShowProgress(progress);
            wordsInBlock = 0;
        } else if (BatchLength() >= kBatchFlushSize && !FlushBatch()) {
            return false;
        }
    }
    ShowProgress(length);
    return verify || SendStoredExtent(region, start, end, length);
}

PodResult CUsbPod::WritePodEeprom(bool eraseAllBoot, bool resetAfterWrite) {
    if (!SendFrame(kFrameWriteMs, "%cK%c", kStx, kEtx)) {
        return kEepromWriteError;
    }
    // Every region goes, P2FLASH on every CPU: an empty one sends only its Y frame.
    int step = 0;
    for (const MemoryRegion region : kStoreOrder) {
        ++step;
        if (!TransferRegionToEeprom(region, false)) {
            SendAbort();
            UpdateLed(step, true);
            return RegionProtocol::For(region).eepromWriteError;
        }
        UpdateLed(step, false);
    }
    if (!StoreImageInfo(eraseAllBoot, resetAfterWrite)) {
        SendAbort();
        return kEepromWriteError;
    }
    return kPodOk;
}
