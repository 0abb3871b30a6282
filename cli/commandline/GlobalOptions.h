#pragma once

#include <span>
#include <string>
#include <vector>

#include "commandline/Verbosity.h"
#include "sim/SimFill.h"

struct OptionInfo;

// The simulated pod instead of a real one (--simulate, --sim-*).
struct SimulationOptions {
    bool simulate = false;
    bool realtime = false;  // paced by the timing model on the real clock
    std::string statePath;  // kept between runs; empty: none
    // What a new simulated target holds (a state file read wins), and whether it was asked for.
    SimFill fill;
    bool fillGiven = false;
    int pods = 0;  // several simulated pods; 0: the one pod of --simulate
};

// Which pod a run talks to and how the talk is kept (--pod, --trace, --sim-*).
struct PodChoice {
    // The pod with this serial number; empty: the first pod.
    std::string serial;
    std::string tracePath;
    SimulationOptions sim;
};

// Where each board's record goes (--log, --board-id, --station-db, --station).
struct RecordSinks {
    // One JSON Lines record per board appended here; empty: none.
    std::string logPath;
    // The board's identifier for its record; with --repeat the first board's. Empty: none
    // (an empty value is refused).
    std::string boardId;
    // The line's station database; empty: VANTIX_STATION_DB, or none.
    std::string stationDb;
    // This station's name in the database's records; empty: the host name.
    std::string station;
};

// The job files of --config, in the order given (relative paths in each are from its
// folder), and each option they set and where ("--log: from the job file F, line 3"), for
// --verbose.
struct JobFileUse {
    std::vector<std::string> paths;
    std::vector<std::string> sources;
};

// The options of vantix-cli itself, accepted before or after any command.
struct GlobalOptions {
    PodChoice pod;
    RecordSinks records;
    CliVerbosity verbosity = CliVerbosity::Normal;
    JobFileUse jobFiles;
};

// The rows of the global options, and all of them in the order the tool's --help lists them.
extern const OptionInfo kSimulateRow;
extern const OptionInfo kSimRealtimeRow;
extern const OptionInfo kSimStateRow;
extern const OptionInfo kSimFillRow;
extern const OptionInfo kTraceRow;
extern const OptionInfo kPodRow;
extern const OptionInfo kSimPodsRow;
extern const OptionInfo kBoardIdRow;
extern const OptionInfo kLogRow;
extern const OptionInfo kStationDbRow;
extern const OptionInfo kStationRow;
extern const OptionInfo kConfigRow;
extern const OptionInfo kQuietRow;
extern const OptionInfo kVerboseRow;
extern const OptionInfo kHelpRow;
extern const OptionInfo kVersionRow;
extern const OptionInfo kUdevRuleRow;
std::span<const OptionInfo* const> GlobalOptionRows();
