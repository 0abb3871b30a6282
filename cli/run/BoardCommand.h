#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "CpuType.h"
#include "commandline/CommandTable.h"

class BoardWork;
struct BoardParts;

// What the record of a run refused before its pod was chosen says of the command's file and
// CPU: as far as they were read.
struct RecordFacts {
    std::optional<std::string> file;
    std::optional<CpuType> cpu;
};

// The station database's serial series a run takes its numbers from, and how many words a
// number may fill in the image (--serial-words).
struct RecordedSeries {
    std::string name;
    int words = 1;
};

// What the run side needs to know of a command that works on boards: its name in the
// records, what it prints, and the files and the series its run touches. Each command fills
// one in from its own options.
struct BoardCommand {
    const char* name = "";
    bool json = false;
    // Board after board, with a prompt in between.
    bool repeat = false;
    // Prints its findings on stdout without --json too (blank-check, pod-info, list).
    bool printsFindings = false;
    // Keeps a record of each run (every pod command but list).
    bool keepsRecords = false;
    RecordFacts facts;
    std::optional<RecordedSeries> series;
    // The serial counter file the run takes numbers from, and so writes.
    std::optional<std::string> counter;
    // The command's own work on a board, made for each pod's run; null for the commands that
    // are no board's work (pod-info, list).
    std::function<std::unique_ptr<BoardWork>(const BoardParts& parts)> makeWork;

    // Whether stdout holds what the run is for: a run that has nobody left to read it stops.
    bool PrintsOnStdout() const { return json || printsFindings; }
};

// The board command of a command, as its entry in the list names it.
inline BoardCommand BoardCommandFor(const CommandInfo& info) {
    BoardCommand board;
    board.name = info.name;
    board.keepsRecords = info.keepsRecords;
    return board;
}
