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
    return RunTargetSequence(selection, true, [&](MemoryRegion region) {
        return RegionStep{EraseAndWriteRegion(region, false, eraseAllBoot)};
    });
}

PodResult CUsbPod::ProgramAndVerifyTarget(const RegionSelection& selection, bool eraseAllBoot) {
    return RunTargetSequence(selection, true, [&](MemoryRegion region) {
        return RegionStep{EraseAndWriteRegion(region, true, eraseAllBoot)};
    });
}

PodResult CUsbPod::VerifyTarget(const RegionSelection& selection) {
    return RunTargetSequence(selection, false,
                             [&](MemoryRegion region) { return RegionStep{VerifyRegion(region)}; });
}

// program: debug mode 1 and firmware download; otherwise debug mode 0 (compare only). Then
// the work for each selected region, one LED step each. A failure ends the sequence with its
// code, unless its step says the pod is still in step (a compare that found different
// words): then the sequence goes on, and the first such failure is the result.
PodResult CUsbPod::RunTargetSequence(const RegionSelection& selection, bool program,
                                     const std::function<RegionStep(MemoryRegion)>& work) {
    if (!EnterDebugMode(program ? 1 : 0)) {
        return kTargetDebugModeError;
    }
    if (program && !DownloadFirmware()) {
        return kTargetFirmwareDownloadError;
    }
    int step = 0;
    PodResult first = kPodOk;
    for (const MemoryRegion region : kTargetOrder) {
        if (selection[RegionIndex(region)] == 0 || !RegionApplies(region)) {
            continue;
        }
        const RegionStep done = work(region);
        ++step;
        if (done.result != kPodOk) {
            UpdateLed(step, true);
            if (!done.goOn) {
                return done.result;
            }
            first = first != kPodOk ? first : done.result;
            continue;
        }
        UpdateLed(step, false);
    }
    if (first != kPodOk) {
        return first;
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
