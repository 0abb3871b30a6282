#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ProgrammerCommands.h"
#include "RegionRows.h"
#include "commandline/ImageFileOptions.h"
#include "commandline/SerialOptions.h"
#include "commandline/TargetOptions.h"
#include "run/BoardWork.h"
#include "run/SerialPatch.h"

class ConsoleUi;
class PodRun;
class RunRecorder;
class SFileImage;
struct CliEnvironment;
struct RunRecord;

// The work on a board of a command with a file (write, write-verify and verify on the
// target, pod-write and pod-verify on the pod's EEPROM) up to the command's own step: loads
// the file, builds the region list the window would show and puts each board's serial
// number into the image.
class FileBoard : public BoardWork {
public:
    // A number for each board from `numbering`, or a check of `check`'s; neither: none.
    FileBoard(FileLoad load, std::optional<RegionList> regions,
              std::optional<SerialNumbering> numbering, std::optional<SerialCheck> check,
              const BoardParts& parts);

    // Loads the file and ticks the regions; kExitSuccess, or the status of a refusal.
    int Prepare(PodRun& run) override;
    // A number of the station database's series goes only to an image released there
    // (CheckRelease).
    bool TakeSerial(PodRun& run, SerialPatch& numbers) override;
    SerialPatch* Numbers() override { return &serial_; }

protected:
    // The region list as the window would show it, and how many rows the file fills.
    const std::vector<RegionListItem>& Items() const { return items_; }
    std::size_t RowCount() const { return rows_.size(); }
    ConsoleUi& Console() { return ui_; }

private:
    // --expect-sha256: the bytes loaded must be that image; kExitSuccess, or 2 after
    // reporting.
    int CheckExpectedImage(RunRecord& record) const;
    // With --serial-series, the image must be released for the series and the CPU, and not
    // withdrawn: asked before every board. kExitSuccess, or the status after reporting.
    int CheckRelease(PodRun& run);
    int PrepareSerial(SFileImage& image);
    // Every listed row, ticked when --regions names it (or when there is no --regions); a
    // named region the file does not fill is an input error.
    bool BuildRegionList(std::string& error);
    // The regions the record shows: the ticked rows (every row when there is no --regions).
    void RecordRegions(PodRun& run) const;
    // Tells the environment's watcher which step of a board has just been done.
    void Step(const char* step) const;

    const FileLoad load_;
    const std::optional<RegionList> regions_;
    const std::optional<SerialNumbering> numbering_;
    const std::optional<SerialCheck> check_;
    const CliEnvironment& environment_;
    ConsoleUi& ui_;
    RunRecorder& recorder_;
    std::vector<RegionRow> rows_;
    std::vector<RegionListItem> items_;
    SerialPatch serial_;
};
