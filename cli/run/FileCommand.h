#pragma once

#include <vector>

#include "ProgrammerCommands.h"
#include "RegionRows.h"
#include "run/SerialPatch.h"

class ConsoleUi;
class PodRun;
class RunRecorder;
struct RunRecord;
struct CliEnvironment;
struct CliOptions;

// The commands that work with a file on the pod: write, write-verify and verify on the
// target, pod-write and pod-verify on the pod's EEPROM. Loads the file, builds the region
// list the window would show, puts each board's serial number into the image, and runs
// the command on one board or, with --repeat, board after board.
class FileCommand {
public:
    FileCommand(const CliOptions& options, const CliEnvironment& environment, ConsoleUi& ui,
                RunRecorder& recorder);

    int Run();

    // The steps of a board, for a run that drives several pods at once (GangRun), each with
    // its own command and run; Run() goes through the same ones.
    // Loads the file and ticks the regions; kExitSuccess, or the status of a refusal.
    int Prepare(PodRun& run);
    // Takes the board's serial number from `numbers`, the series of the whole run; a number
    // of the station database's series only for an image released there (CheckRelease).
    bool TakeSerial(PodRun& run, SerialPatch& numbers);
    CommandOutcome RunOnce(ProgrammerCommands& operations);
    // --only-changed: each region's pages into the board's record, and a line per region
    // the run reached ("PFLASH: 3 of 120 pages written").
    void ReportChangedPages(PodRun& run) const;
    // With --serial-series, the image must be released for the series and the CPU, and not
    // withdrawn: asked before every board. kExitSuccess, or the status after reporting.
    int CheckRelease(PodRun& run);
    // The run's series of serial numbers, ready once Prepare has passed.
    SerialPatch& Numbers() { return serial_; }

private:
    // --expect-sha256: the bytes loaded must be that image; kExitSuccess, or 2 after
    // reporting.
    int CheckExpectedImage(RunRecord& record) const;
    // Every listed row, ticked when --regions names it (or when there is no --regions); a
    // named region the file does not fill is an input error.
    bool BuildRegionList(std::string& error);
    // The regions the record shows: the ticked rows for the target commands, every row for
    // the pod's EEPROM.
    void RecordRegions(PodRun& run) const;
    // The board's number goes into the image before the board is touched; its record shows
    // the regions as written. False, after reporting, when there is no number for it.
    bool TakeSerial(PodRun& run) { return TakeSerial(run, serial_); }
    int RunOneBoard(PodRun& run);
    // A board of --repeat once it has its number: its work, its state and its record; its
    // status, and whether a simulated board's state could be kept.
    int RunNextBoard(PodRun& run, CommandOutcome& outcome, bool& stateKept);
    int RunBoardAfterBoard(PodRun& run);
    // Tells the environment's watcher which step of a board has just been done.
    void Step(const char* step) const;

    const CliOptions& options_;
    const CliEnvironment& environment_;
    ConsoleUi& ui_;
    RunRecorder& recorder_;
    std::vector<RegionRow> rows_;
    std::vector<RegionListItem> items_;
    SerialPatch serial_;
    std::vector<ChangedPages> changedPages_;
};
