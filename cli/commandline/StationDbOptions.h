#pragma once

#include <optional>
#include <string>

#include "commandline/CliOptions.h"

// What "station-db" was given, as typed.
struct StationDbCommandTexts {
    std::optional<std::string> action;  // init, series, grant, release, withdraw, releases
    std::optional<std::string> name;    // the series, or the role grant gives
    std::optional<std::string> login;   // the login grant gives it to
    std::optional<std::string> start;
    std::optional<std::string> words;
    std::optional<std::string> image;  // release: the file; withdraw: its SHA-256
    std::optional<std::string> cpu;    // release
};

// Reads station-db's action, its operands, --start and --serial-words into `options` and
// checks that they go together: init takes nothing more; series lists the series without a
// name and creates one with a name and --start, whose number fits the width; grant takes a
// role (station, reader or admin) and a login; release takes a series, a file and --cpu;
// withdraw a series and a SHA-256; releases a series or none. The first refusal, or empty
// when they are sound.
std::string ReadStationDbOptions(const StationDbCommandTexts& given, CliOptions& options);
