#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "BlankRegion.h"
#include "CpuType.h"
#include "ProgrammerCommands.h"
#include "RegionSelection.h"
#include "commandline/TargetOptions.h"
#include "records/RunRecord.h"
#include "run/BoardWork.h"

class ConsoleUi;
class PodRun;

// What erase and blank-check work on: the CPU's map, all of it or the regions named.
struct WholeRegionJob {
    CpuType cpu = CpuType::DSP56F807;
    std::optional<RegionList> regions;
    bool eraseAllBoot = true;  // erase: BFLASH too
    bool blankCheck = false;   // blank-check rather than erase
};

// erase and blank-check: whole regions of the CPU's memory map, with no file. blank-check
// prints a line per region on stdout (unless --json).
class WholeRegionRun : public BoardWork {
public:
    WholeRegionRun(WholeRegionJob job, const BoardParts& parts);

    // The image and the regions: kExitSuccess, or the status of a refusal.
    int Prepare(PodRun& run) override;
    CommandOutcome RunOnce(PodRun& run) override;

private:
    // Every region of the CPU's map (P2FLASH on the DSP56F807 only), or those named; a named
    // region the CPU has not is an input error.
    bool SelectRegions(PodRun& run, std::string& error);
    // Each checked region's finding into its record, and its line.
    void ReportBlankCheck(std::vector<RunRecord::Region>& regions,
                          const std::vector<BlankRegion>& report);

    const WholeRegionJob job_;
    ConsoleUi& ui_;
    std::ostream& out_;
    const bool json_;
    RegionSelection selection_{};
};
