#include <array>
#include <cstdio>

#include "CUsbPod.h"
#include "PodFrames.h"
#include "PodInfoRecord.h"
#include "RegionProtocol.h"
#include "SFileImage.h"

using namespace PodFrames;

namespace {

constexpr std::uint32_t kInfoReplyMs = 1000;

constexpr std::array<MemoryRegion, kRegionCount> kCompareOrder = {
    MemoryRegion::DFLASH, MemoryRegion::PFLASH, MemoryRegion::P2FLASH, MemoryRegion::BFLASH};

}  // namespace

// The option code is not compared: the stored options may differ from the form's boxes.
// Regions the image does not hold are not compared either, whatever the record says. The
// length compared is the extent POD Write stores.
bool CUsbPod::ImageMatchesRecord(const PodInfoRecord& record) const {
    if (record.cpu != CpuCode()) {
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

void CUsbPod::PrintInfoRecord(const PodInfoRecord& record) {
    messages_->AddMessage(PodInfoRecord::CpuText(record.cpu), kColourGreen);
    messages_->AddMessage(PodInfoRecord::OptionText(record.options), kColourGreen);
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
        messages_->AddMessage(line, kColourGreen);
    }
}

// Has the pod compare every stored block; returns 0 with step = the BFLASH step, or the
// failing region's error after closing the check with L.
PodResult CUsbPod::VerifyStoredRegions(int& step) {
    step = 0;
    for (const MemoryRegion region : kCompareOrder) {
        if (!RegionApplies(region)) {
            continue;
        }
        ++step;
        if (!TransferRegionToEeprom(region, true)) {
            SendFrame(kFrameWriteMs, "%cL%c", kStx, kEtx);
            UpdateLed(step, true);
            return RegionProtocol::For(region).eepromVerifyError;
        }
        UpdateLed(step, false);
    }
    return kPodOk;
}

PodResult CUsbPod::ReadStoredInfo(PodInfoRecord& record) {
    if (!SendFrame(kFrameWriteMs, "%cO%c", kStx, kEtx) ||
        !AwaitReply(PodInfoRecord::kReplySize, kInfoReplyMs)) {
        return kEepromInfoError;
    }
    messages_->AddMessage("[Current SFile Info. in Serial EEPROM of USB POD]", kColourBlue);
    record = PodInfoRecord::Parse(replyBuffer_);
    if (!record.HasImage()) {
        messages_->AddMessage("There is No SFile Info.", kColourRed);
        return kEepromInfoError;
    }
    return kPodOk;
}

PodResult CUsbPod::ReadPodInfo(PodInfoRecord* stored) {
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

PodResult CUsbPod::VerifyPodEeprom() {
    PodInfoRecord record;
    if (const PodResult result = ReadStoredInfo(record); result != kPodOk) {
        return result;
    }
    const bool matches = ImageMatchesRecord(record);
    PrintInfoRecord(record);
    if (!matches) {
        messages_->AddMessage("SFile Info. is not identical to selected SFile Data", kColourRed);
        return kEepromInfoMismatch;
    }
    if (!SendFrame(kFrameWriteMs, "%cK%c", kStx, kEtx)) {
        return kEepromVerifyError;
    }
    int step = 0;
    const PodResult result = VerifyStoredRegions(step);
    if (result != kPodOk) {
        return result;
    }
    if (!SendFrame(kFrameWriteMs, "%cL%c", kStx, kEtx)) {
        return kEepromVerifyError;
    }
    for (int k = step; k <= 4; ++k) {
        UpdateLed(k, false);
    }
    return kPodOk;
}
