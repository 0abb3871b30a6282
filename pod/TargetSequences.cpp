#include "TargetSequences.h"

#include <array>

#include "PodIndicators.h"
#include "PodProtocol.h"
#include "RegionProgrammer.h"
#include "SFileImage.h"

namespace {

// Regions are always worked in this order, whatever the order of the selection: data flash
// first, boot flash last.
constexpr std::array<MemoryRegion, kRegionCount> kTargetOrder = {
    MemoryRegion::DFLASH, MemoryRegion::PFLASH, MemoryRegion::P2FLASH, MemoryRegion::BFLASH};

}  // namespace

TargetSequences::TargetSequences(PodProtocol& protocol, RegionProgrammer& regions,
                                 const SFileImage& image, PodIndicators& indicators)
    : protocol_(protocol), regions_(regions), image_(image), indicators_(indicators) {}

PodResult TargetSequences::ProgramTarget(const RegionSelection& selection, bool eraseAllBoot) {
    return RunTargetSequence(selection, true, [&](MemoryRegion region) {
        return RegionStep{regions_.EraseAndWriteRegion(region, false, eraseAllBoot)};
    });
}

PodResult TargetSequences::ProgramAndVerifyTarget(const RegionSelection& selection,
                                                  bool eraseAllBoot) {
    return RunTargetSequence(selection, true, [&](MemoryRegion region) {
        return RegionStep{regions_.EraseAndWriteRegion(region, true, eraseAllBoot)};
    });
}

PodResult TargetSequences::VerifyTarget(const RegionSelection& selection) {
    return RunTargetSequence(selection, false, [&](MemoryRegion region) {
        return RegionStep{regions_.VerifyRegion(region)};
    });
}

PodResult TargetSequences::ProgramChangedTarget(const RegionSelection& selection, bool verify,
                                                bool eraseAllBoot,
                                                std::vector<ChangedPages>& report) {
    report.clear();
    return RunTargetSequence(selection, true, [&](MemoryRegion region) {
        ChangedPages& counts = report.emplace_back(ChangedPages{region});
        return RegionStep{regions_.WriteChangedPages(region, verify, eraseAllBoot, counts)};
    });
}

PodResult TargetSequences::EraseTarget(const RegionSelection& selection, bool eraseAllBoot) {
    return RunTargetSequence(selection, true, [&](MemoryRegion region) {
        return RegionStep{regions_.EraseWholeRegion(region, eraseAllBoot)};
    });
}

PodResult TargetSequences::BlankCheckTarget(const RegionSelection& selection,
                                            std::vector<BlankRegion>& report) {
    report.clear();
    return RunTargetSequence(selection, false, [&](MemoryRegion region) {
        BlankRegion& found = report.emplace_back(BlankRegion{region});
        const PodResult result = regions_.BlankCheckRegion(region, found);
        return RegionStep{result, found.checked};
    });
}

// program: debug mode 1 and firmware download; otherwise debug mode 0 (compare only). Then
// the work for each selected region, one LED step each. A failure ends the sequence with its
// code, unless its step says the pod is still in step (a compare that found different
// words): then the sequence goes on, and the first such failure is the result.
PodResult TargetSequences::RunTargetSequence(const RegionSelection& selection, bool program,
                                             const std::function<RegionStep(MemoryRegion)>& work) {
    if (!protocol_.EnterDebugMode(program ? 1 : 0)) {
        return kTargetDebugModeError;
    }
    if (program && !protocol_.DownloadFirmware()) {
        return kTargetFirmwareDownloadError;
    }
    int step = 0;
    PodResult first = kPodOk;
    for (const MemoryRegion region : kTargetOrder) {
        if (selection[RegionIndex(region)] == 0 || !CpuHasRegion(image_.cpu, region)) {
            continue;
        }
        const RegionStep done = work(region);
        ++step;
        if (done.result != kPodOk) {
            indicators_.UpdateLed(step, true);
            if (!done.goOn) {
                return done.result;
            }
            first = first != kPodOk ? first : done.result;
            continue;
        }
        indicators_.UpdateLed(step, false);
    }
    if (first != kPodOk) {
        return first;
    }
    // Steps no region used are lit too, so success always ends with four lit lamps; the
    // last finished step is set a second time, which changes nothing.
    if (step < PodIndicators::kLedCount) {
        indicators_.LightStepsFrom(step);
    }
    return kPodOk;
}
