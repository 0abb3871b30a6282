#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "ProgrammerCommands.h"
#include "RegionRows.h"
#include "records/RunLog.h"
#include "records/RunRecord.h"

class ConsoleUi;
class PodSession;
class SFileImage;
struct CliEnvironment;
struct CliOptions;

// The commands that reach the pod: the six operations of the window, pod-info, list, erase
// and blank-check. The checks, texts and sequences are the shared ProgrammerCommands; this
// class only loads the file, builds the region list the window would show, puts each
// board's serial number into the image, turns outcomes into exit statuses and keeps the
// record of each board (--json, --log) and the loop over boards (--repeat).
class PodCommandRunner {
public:
    PodCommandRunner(const CliOptions& options, const CliEnvironment& environment, ConsoleUi& ui,
                     std::ostream& out);

    int Run();

    // Every listed row, ticked when --regions names it (or when there is no --regions).
    // Names the file does not fill, or that are no region at all, are input errors.
    static bool BuildRegionList(const std::vector<RegionRow>& rows,
                                const std::vector<std::string>* wanted,
                                std::vector<RegionListItem>& items, std::string& error);

private:
    int RunFileCommand();
    int RunReset();
    int RunPodInfo();
    int RunList();
    // erase and blank-check (WholeRegionCommands.cpp).
    int RunWholeRegions();
    CommandOutcome RunOnce(ProgrammerCommands& commands, const std::vector<RegionListItem>& items,
                           std::size_t rowCount);
    int ExitFor(const CommandOutcome& outcome, PodSession& session);

    // The record of one board: what the session and the outcome tell, then --json and --log.
    // Returns the exit status, which a log that cannot be written turns into
    // kExitRecordLost (an interruption keeps its own); the record's exit is that status.
    int Record(RunRecord& record, int status);
    bool Interrupted() const;
    void Conclude(RunRecord& record, const CommandOutcome* outcome, PodSession& session,
                  std::uint32_t startMs);

    const CliOptions& options_;
    const CliEnvironment& environment_;
    ConsoleUi& ui_;
    std::ostream& out_;
    RunLog log_;
    bool recordLost_ = false;  // a board's record could not be logged: the line stops
    std::string boardId_;      // the board at work: --board-id, then the prompt's line
};
