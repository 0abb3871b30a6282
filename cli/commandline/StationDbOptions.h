#pragma once

#include <string>

class OptionReader;
struct CliOptions;

// Reads station-db's action, its operands, --start and --serial-words into `options` and
// checks that they go together: init takes nothing more; series lists the series without a
// name and creates one with a name and --start, whose number fits the width; grant takes a
// role (station, reader or admin) and a login; release takes a series, a file and --cpu;
// withdraw a series and a SHA-256; releases a series or none. The first refusal, or empty
// when they are sound.
std::string ReadStationDbOptions(const OptionReader& reader, CliOptions& options);
