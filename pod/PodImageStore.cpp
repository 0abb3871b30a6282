#include "PodImageStore.h"

#include <array>
#include <cstdio>

#include "PodFrames.h"
#include "PodIndicators.h"
#include "PodInfoRecord.h"
#include "PodProtocol.h"
#include "RegionProtocol.h"
#include "SFileImage.h"
#include "UntouchedRegion.h"

using namespace PodFrames;

namespace {

// The pod keeps each region in EEPROM blocks of at most 132 words (264 bytes).
constexpr std::uint32_t kEepromBlockWords = 132;

// Store and compare order; a region's place in it is its LED step.
constexpr std::array<MemoryRegion, kRegionCount> kStoreOrder = {
    MemoryRegion::DFLASH, MemoryRegion::PFLASH, MemoryRegion::P2FLASH, MemoryRegion::BFLASH};

}  // namespace

PodImageStore::PodImageStore(PodProtocol& protocol, const SFileImage& image,
                             PodIndicators& indicators)
    : protocol_(protocol), image_(image), indicators_(indicators) {}

bool PodImageStore::IsUntouched(MemoryRegion region) const {
    return IsUntouchedRegion(image_.Region(region));
}

// The words the pod keeps for a region: its whole extent, as streamed. wordCount equals it
// only once a front end has listed the regions, so it is not taken from there.
std::uint16_t PodImageStore::StoredLength(MemoryRegion region) const {
    if (IsUntouched(region)) {
        return 0;
    }
    const RegionImage& words = image_.Region(region);
    return static_cast<std::uint16_t>(words.maxAddress - words.minAddress + 1);
}

// Y: the region's extent for the pod's info record.
bool PodImageStore::SendStoredExtent(MemoryRegion region, std::uint16_t start, std::uint16_t end,
                                     std::uint16_t length) {
    return protocol_.SendFrame(kFrameWriteMs, "%cY%X%04X%04X%04X%c", kStx,
                               static_cast<unsigned>(RegionProtocol::For(region).number),
                               static_cast<unsigned>(start), static_cast<unsigned>(end),
                               static_cast<unsigned>(length), kEtx) &&
           protocol_.AwaitAck(kQuickReplyMs);
}

bool PodImageStore::TransferRegionToEeprom(MemoryRegion region, bool verify) {
    const RegionProtocol& texts = RegionProtocol::For(region);
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
    indicators_.ShowStatus(verify ? texts.eepromVerifyingText : texts.eepromWritingText);
    indicators_.ShowProgress(0);
    indicators_.ShowRange(length);
    if (!StreamRegionBlocks(region, verify ? 'Q' : 'N')) {
        return false;
    }
    indicators_.ShowProgress(length);
    return verify || SendStoredExtent(region, start, end, length);
}

// S, then the words as T frames; after each block of 132 the pod stores it (N) or compares
// it with the stored one (Q), and a new S opens the next block.
bool PodImageStore::StreamRegionBlocks(MemoryRegion region, char letter) {
    const unsigned number = RegionProtocol::For(region).number;
    const std::uint32_t start = image_.Region(region).minAddress;
    const std::uint32_t end = image_.Region(region).maxAddress;
    if (!protocol_.SendFrame(kFrameWriteMs, "%cS%c", kStx, kEtx)) {
        return false;
    }
    std::uint32_t blockIndex = 0;
    std::uint32_t wordsInBlock = 0;
    std::uint32_t progress = 0;
    protocol_.StartBatch();
    for (std::uint32_t address = start; address <= end; ++address) {
        protocol_.AppendWordToBatch(image_.WordAt(region, address));
        ++progress;
        ++wordsInBlock;
        if (wordsInBlock == kEepromBlockWords || address == end) {
            if (!protocol_.FlushBatch() ||
                !protocol_.SendFrame(kFrameWriteMs, "%c%c%X%04X%04X%c", kStx, letter, number,
                                     static_cast<unsigned>(blockIndex),
                                     static_cast<unsigned>(wordsInBlock), kEtx) ||
                !protocol_.AwaitAck(kFlashReplyMs)) {
                return false;
            }
            ++blockIndex;
            if (!protocol_.SendFrame(kFrameWriteMs, "%cS%c", kStx, kEtx)) {
                return false;
            }
            indicators_.ShowProgress(progress);
            wordsInBlock = 0;
        } else if (protocol_.BatchLength() >= kBatchFlushSize && !protocol_.FlushBatch()) {
            return false;
        }
    }
    return true;
}

PodResult PodImageStore::WritePodEeprom(bool eraseAllBoot, bool resetAfterWrite) {
    if (!protocol_.SendFrame(kFrameWriteMs, "%cK%c", kStx, kEtx)) {
        return kEepromWriteError;
    }
    // Every region goes, P2FLASH on every CPU: an empty one sends only its Y frame.
    int step = 0;
    for (const MemoryRegion region : kStoreOrder) {
        ++step;
        if (!TransferRegionToEeprom(region, false)) {
            protocol_.SendAbort();
            indicators_.UpdateLed(step, true);
            return RegionProtocol::For(region).eepromWriteError;
        }
        indicators_.UpdateLed(step, false);
    }
    if (!protocol_.StoreImageInfo(eraseAllBoot, resetAfterWrite)) {
        protocol_.SendAbort();
        return kEepromWriteError;
    }
    return kPodOk;
}

// The option code is not compared: the stored options may differ from the form's boxes.
// Regions the image does not hold are not compared either, whatever the record says. The
// length compared is the extent POD Write stores.
bool PodImageStore::ImageMatchesRecord(const PodInfoRecord& record) const {
    if (record.cpu != protocol_.CpuCode()) {
        return false;
    }
    for (const MemoryRegion region : kAllRegions) {
        const RegionImage& words = image_.Region(region);
        if (IsUntouched(region)) {
            continue;
        }
        const PodInfoRecord::Extent& stored = record.Region(region);
        if (stored.start != words.minAddress || stored.end != words.maxAddress ||
            stored.length != StoredLength(region)) {
            return false;
        }
    }
    return true;
}

void PodImageStore::PrintInfoRecord(const PodInfoRecord& record) {
    indicators_.AddMessage(PodInfoRecord::CpuText(record.cpu), kColourGreen);
    indicators_.AddMessage(PodInfoRecord::OptionText(record.options), kColourGreen);
    for (const MemoryRegion region : kAllRegions) {
        if (!CpuHasRegion(static_cast<CpuType>(record.cpu), region)) {
            continue;
        }
        const PodInfoRecord::Extent& stored = record.Region(region);
        char line[128];
        std::snprintf(line, sizeof line,
                      "[%s Info] Start Address : 0x%04X, End Address : 0x%04X, Length : 0x%04X",
                      RegionName(region), static_cast<unsigned>(stored.start),
                      static_cast<unsigned>(stored.end), static_cast<unsigned>(stored.length));
        indicators_.AddMessage(line, kColourGreen);
    }
}

// Has the pod compare every stored block; returns 0 with step = the BFLASH step, or the
// failing region's error after closing the check with L.
PodResult PodImageStore::VerifyStoredRegions(int& step) {
    step = 0;
    for (const MemoryRegion region : kStoreOrder) {
        if (!CpuHasRegion(image_.cpu, region)) {
            continue;
        }
        ++step;
        if (!TransferRegionToEeprom(region, true)) {
            protocol_.SendFrame(kFrameWriteMs, "%cL%c", kStx, kEtx);
            indicators_.UpdateLed(step, true);
            return RegionProtocol::For(region).eepromVerifyError;
        }
        indicators_.UpdateLed(step, false);
    }
    return kPodOk;
}

PodResult PodImageStore::ReadStoredInfo(PodInfoRecord& record) {
    if (!protocol_.QueryInfoRecord(record)) {
        return kEepromInfoError;
    }
    indicators_.AddMessage("[Current SFile Info. in Serial EEPROM of USB POD]", kColourBlue);
    if (!record.HasImage()) {
        indicators_.AddMessage("There is No SFile Info.", kColourRed);
        return kEepromInfoError;
    }
    return kPodOk;
}

PodResult PodImageStore::ReadPodInfo(PodInfoRecord* stored) {
    PodInfoRecord record;
    const PodResult result = ReadStoredInfo(record);
    if (result == kPodOk) {
        PrintInfoRecord(record);
        if (stored != nullptr) {
            *stored = record;
        }
    }
    return result;
}

PodResult PodImageStore::VerifyPodEeprom() {
    PodInfoRecord record;
    if (const PodResult result = ReadStoredInfo(record); result != kPodOk) {
        return result;
    }
    const bool matches = ImageMatchesRecord(record);
    PrintInfoRecord(record);
    if (!matches) {
        indicators_.AddMessage("SFile Info. is not identical to selected SFile Data", kColourRed);
        return kEepromInfoMismatch;
    }
    if (!protocol_.SendFrame(kFrameWriteMs, "%cK%c", kStx, kEtx)) {
        return kEepromVerifyError;
    }
    int step = 0;
    if (const PodResult result = VerifyStoredRegions(step); result != kPodOk) {
        return result;
    }
    if (!protocol_.SendFrame(kFrameWriteMs, "%cL%c", kStx, kEtx)) {
        return kEepromVerifyError;
    }
    indicators_.LightStepsFrom(step);
    return kPodOk;
}
