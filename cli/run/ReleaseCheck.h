#pragma once

#include <string>

#include "stationdb/StationDb.h"

// Whether the image may go onto a board that takes a number of the series: it must be
// released for the series and the CPU, and not withdrawn. Otherwise 2, naming the file, the
// series and the images released there (by their short SHA-256), or the status of a database
// that cannot be asked.
StationDbOutcome ReleaseCheck(StationDb& database, const std::string& series,
                              const std::string& file, const std::string& sha256,
                              const std::string& cpu);

// A record's "release" for an image the series admitted: "series line-7".
std::string SeriesRelease(const std::string& series);
