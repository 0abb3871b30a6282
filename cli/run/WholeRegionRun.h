#pragma once

#include <optional>
#include <string>

#include "CpuType.h"
#include "RegionSelection.h"
#include "commandline/TargetOptions.h"
#include "run/BoardWork.h"

class ConsoleUi;
class PodRun;

// Work on whole regions of the CPU's memory map, with no file (erase, blank-check): all of
// the map or the regions named, each in the run's record with its whole extent. The command
// does the rest in its RunOnce.
class WholeRegionRun : public BoardWork {
public:
    WholeRegionRun(CpuType cpu, std::optional<RegionList> regions, const BoardParts& parts);

    // The CPU's map and the regions: kExitSuccess, or the status of a refusal.
    int Prepare(PodRun& run) override;

protected:
    const RegionSelection& Selection() const { return selection_; }

private:
    // Every region of the CPU's map (P2FLASH on the DSP56F807 only), or those named; a named
    // region the CPU has not is an input error.
    bool SelectRegions(PodRun& run, std::string& error);

    const CpuType cpu_;
    const std::optional<RegionList> regions_;
    ConsoleUi& ui_;
    RegionSelection selection_{};
};
