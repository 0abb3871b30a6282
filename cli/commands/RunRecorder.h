#pragma once

#include <ostream>
#include <string>

#include "records/RunLog.h"
#include "records/RunRecord.h"

class ConsoleUi;
struct CliEnvironment;
struct CliOptions;

// Keeps the record of each board a pod command works on: --json prints it, --log appends it.
// A record that cannot be logged stops the line.
class RunRecorder {
public:
    RunRecorder(const CliOptions& options, const CliEnvironment& environment, ConsoleUi& ui,
                std::ostream& out);

    // Opens the --log file, when one is named; false after reporting.
    bool OpenLog();
    // The record of one board, with what the run ended with; returns the exit status, which
    // a log that cannot be written turns into kExitRecordLost (an interruption keeps its
    // own). The record's exit is that status.
    int Keep(RunRecord& record, int status);
    // A board's record could not be logged: the line stops.
    bool RecordLost() const { return recordLost_; }
    // The board at work: --board-id, then the operator's line at the prompt.
    std::string& BoardId() { return boardId_; }
    bool Interrupted() const;

private:
    const CliOptions& options_;
    const CliEnvironment& environment_;
    ConsoleUi& ui_;
    std::ostream& out_;
    RunLog log_;
    bool recordLost_ = false;
    std::string boardId_;
};
