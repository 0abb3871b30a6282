#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "BlankRegion.h"
#include "ProgrammerCommands.h"
#include "RegionSelection.h"
#include "records/RunRecord.h"

class ConsoleUi;
class PodRun;
class RunRecorder;
struct CliEnvironment;
struct CliOptions;

// erase and blank-check: whole regions of the CPU's memory map, with no file. blank-check
// prints a line per region on stdout (unless --json).
class WholeRegionCommand {
public:
    WholeRegionCommand(const CliOptions& options, const CliEnvironment& environment, ConsoleUi& ui,
                       RunRecorder& recorder, std::ostream& out);

    int Run();

    // The steps of Run, for a run that drives several pods at once (GangRun): the image and
    // the regions (kExitSuccess, or the status of a refusal), then the work on a started run.
    int Prepare(PodRun& run);
    CommandOutcome RunOnce(PodRun& run);

private:
    // Every region of the CPU's map (P2FLASH on the DSP56F807 only), or those named; a named
    // region the CPU has not is an input error.
    bool SelectRegions(PodRun& run, std::string& error);
    // Each checked region's finding into its record, and its line.
    void ReportBlankCheck(std::vector<RunRecord::Region>& regions,
                          const std::vector<BlankRegion>& report);

    const CliOptions& options_;
    const CliEnvironment& environment_;
    ConsoleUi& ui_;
    RunRecorder& recorder_;
    std::ostream& out_;
    RegionSelection selection_{};
};
