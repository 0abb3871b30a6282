#pragma once

#include <atomic>
#include <functional>
#include <istream>
#include <optional>
#include <string>

#include "BackendSelection.h"

class Clock;

// What the process around the command line provides.
struct CliEnvironment {
    // Whether stderr is a terminal: then progress is a bar redrawn in place.
    bool stderrIsTerminal = false;
    // Raised by Ctrl+C; the running operation then stops and the pod is closed.
    const std::atomic<bool>* interrupted = nullptr;
    // The signal that raised it (SIGINT, SIGTERM, SIGHUP); null or 0 counts as SIGINT.
    const std::atomic<int>* interruptSignal = nullptr;
    // Where --repeat reads the operator's Enter; null for the process's standard input.
    std::istream* input = nullptr;
    // Makes the D2XX backend; empty for the program's own (MakeD2xxBackend).
    std::function<D2xxBackend(const BackendOptions&, Clock&)> makeBackend;
    // VANTIX_STATION_DB: the station database when --station-db names none; none when the
    // variable is not set (set and empty is refused).
    std::optional<std::string> stationDb;
    // Whether the standard output is a pipe whose reader has gone; empty: never.
    std::function<bool()> outputClosed;
    // Called as a board passes each step between which a station may die ("number read",
    // "started entry kept", "number taken", "board done"); empty: nobody watches. Lets a
    // run be stopped at exactly that moment.
    std::function<void(const char*)> atStep;
};

// The exit status of an interrupted run: 128 + the signal (130 for Ctrl+C).
int InterruptedExit(const CliEnvironment& environment);
// `status`, or when the run was interrupted (its output cut short) the status that says so.
int UnlessInterrupted(const CliEnvironment& environment, int status);

// The station database a command uses: --station-db (`option`), else VANTIX_STATION_DB;
// empty when neither names one. An empty VANTIX_STATION_DB is refused, as an empty
// --station-db is: `refusal` says so.
std::string ChosenStationDb(const std::string& option, const CliEnvironment& environment,
                            std::string& refusal);
