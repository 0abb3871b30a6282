#include <array>

#include "CUsbPod.h"
#include "SFileImage.h"

namespace {

// Regions are always worked in this order, whatever the order of the selection: data flash
// first, boot flash last.
constexpr std::array<MemoryRegion, kRegionCount> kTargetOrder = {
    MemoryRegion::DFLASH, MemoryRegion::PFLASH, MemoryRegion::P2FLASH, MemoryRegion::BFLASH};

constexpr int kLedCount = 4;

}  // namespace

PodResult CUsbPod::ProgramTarget(const RegionSelection& selection, bool eraseAllBoot) {
    return RunTargetSequence(selection, true, false, eraseAllBoot);
}

PodResult CUsbPod::ProgramAndVerifyTarget(const RegionSelection& selection, bool eraseAllBoot) {
    return RunTargetSequence(selection, true, true, eraseAllBoot);
}

PodResult CUsbPod::VerifyTarget(const RegionSelection& selection) {
    return RunTargetSequence(selection, false, false, false);
}

// program: debug mode 1, firmware download, erase and write (verify: compare each block
// after writing it); otherwise debug mode 0 and compare only. One LED step per region.
PodResult CUsbPod::RunTargetSequence(const RegionSelection& selection, bool program, bool verify,
                                     bool eraseAllBoot) {
    if (!EnterDebugMode(program ? 1 : 0)) {
        return kTargetDebugModeError;
    }
    if (program && !DownloadFirmware()) {
        return kTargetFirmwareDownloadError;
    }
    int step = 0;
    for (const MemoryRegion region : kTargetOrder) {
        if (selection[RegionIndex(region)] == 0 || !RegionApplies(region)) {
            continue;
        }
        const PodResult result =
            program ? EraseAndWriteRegion(region, verify, eraseAllBoot) : VerifyRegion(region);
        ++step;
        if (result != kPodOk) {
            UpdateLed(step, true);
            return result;
        }
        UpdateLed(step, false);
    }
    // Steps no region used are lit too, so success always ends with four lit lamps; the
    // last finished step is set a second time, which changes nothing.
    if (step < kLedCount) {
        for (int k = step; k <= kLedCount; ++k) {
            UpdateLed(k, false);
        }
    }
    return kPodOk;
}

void CUsbPod::UpdateLed(int step, bool failed) {
    if (step < 1 || step > kLedCount) {
        return;
    }
    LedDisplay& led = *leds_[step - 1];
    if (failed) {
        led.SetActiveColor(kLedFailedLit);
        led.SetInactiveColor(kLedFailedUnlit);
    }
    led.SetActive(true);
    led.RepaintNow();
}
