#pragma once

#include <cstdint>
#include <optional>
#include <string>

// What the report takes from one board's record, whether a log line or a row of the station
// database.
struct ReportRecord {
    std::int64_t time = 0;  // seconds since 1970 UTC
    std::uint32_t microseconds = 0;  // within that second, where the record tells
    std::string host;
    std::string station;  // the station database's "station"; the host in a log
    std::string command;  // "write-verify", ...
    std::optional<std::string> file;
    std::optional<std::string> sha256;
    std::optional<std::string> pod;
    std::optional<std::string> board;
    std::optional<std::uint64_t> serial;
    std::optional<std::string> serialAt;  // "PFLASH:0x7FF0"
    std::optional<std::string> series;    // the serial series, where the database tells
    std::optional<std::string> cpu;       // "DSP56F807"
    // The check that admitted the image ("expected-sha256", "series line-7"); none where the
    // run asked for none, or its program was older than the check.
    std::optional<std::string> release;
    std::string status;
    double seconds = 0.0;
    int exit = 0;
    std::optional<int> result;         // the sequence's result, when one ran
    std::optional<std::string> run;    // the run's UUID; none in the logs of older vantix-cli
    // What makes a record the same run wherever it was read, for records without the run's
    // UUID: the database and a log may both hold it.
    std::string Identity() const;
    // The board passed. An older vantix-cli wrote 4, its record's fate, as the exit of a board
    // whose record could not be kept: its board passed when its sequence did.
    bool Passed() const;
    // An older record whose exit says that the record itself could not be kept.
    bool RecordNotKept() const;
    // Ended by Ctrl+C, SIGTERM or SIGHUP.
    bool Interrupted() const;
    // The station stopped during the board: how the board ended is unknown.
    bool Unknown() const;
    // The board's sequence ran: a run refused before the pod, or whose pod was out of reach,
    // has no cycle time.
    bool Started() const;
    // The commands that program a board: the ones first-pass yield counts.
    bool Programs() const { return command == "write" || command == "write-verify"; }
    // The commands that work on a board rather than on the pod's own EEPROM.
    bool OnBoard() const;
};
