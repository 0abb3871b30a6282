#pragma once

#include <functional>
#include <vector>

#include "BlankRegion.h"
#include "ChangedPages.h"
#include "MemoryRegion.h"
#include "PodResult.h"
#include "RegionSelection.h"

class PodIndicators;
class PodProtocol;
class RegionProgrammer;
class SFileImage;

// The target sequences on an open pod: debug mode, the firmware download when programming,
// then the selected regions in the fixed order DFLASH, PFLASH, P2FLASH, BFLASH, one step
// lamp each.
class TargetSequences {
public:
    TargetSequences(PodProtocol& protocol, RegionProgrammer& regions, const SFileImage& image,
                    PodIndicators& indicators);

    PodResult ProgramTarget(const RegionSelection& selection, bool eraseAllBoot);
    PodResult ProgramAndVerifyTarget(const RegionSelection& selection, bool eraseAllBoot);
    PodResult VerifyTarget(const RegionSelection& selection);
    // Target Write (verify false) or Target Write && Verify of only the pages that differ:
    // each region is compared first, then its differing pages erased and written. report
    // gets the counts of each region the sequence reached, in the order worked.
    PodResult ProgramChangedTarget(const RegionSelection& selection, bool verify,
                                   bool eraseAllBoot, std::vector<ChangedPages>& report);
    // Every page of each selected region of the memory map (BFLASH with one X when
    // eraseAllBoot): 0 or the Target Write codes.
    PodResult EraseTarget(const RegionSelection& selection, bool eraseAllBoot);
    // Every word compared with 0xFFFF after debug mode 0. A region that differs is reported
    // with its first differing piece and the check goes on with the next. A region the pod
    // did not answer for ends the check with its verify code; otherwise the result is 0 when
    // all are blank, else the verify code of the first that is not.
    PodResult BlankCheckTarget(const RegionSelection& selection, std::vector<BlankRegion>& report);

private:
    // One region's work: its result, and whether the sequence may go on after a failure
    // because the pod is still in step.
    struct RegionStep {
        PodResult result = kPodOk;
        bool goOn = false;
    };
    PodResult RunTargetSequence(const RegionSelection& selection, bool program,
                                const std::function<RegionStep(MemoryRegion)>& work);

    PodProtocol& protocol_;
    RegionProgrammer& regions_;
    const SFileImage& image_;
    PodIndicators& indicators_;
};
