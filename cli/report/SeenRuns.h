#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>

#include "report/ReportRecord.h"

// The runs a report has taken, so that each run counts once however many of its sources hold
// it: the station database and a log, two logs, or a log named twice. A run is known by its
// UUID; a record of an older vantix-cli, which has none, by its fields.
class SeenRuns {
public:
    // True the first time the run is offered; false for every copy after it.
    bool First(const ReportRecord& record);
    // The copies turned away.
    std::uint64_t Again() const { return again_; }

private:
    std::unordered_set<std::string> keys_;
    std::uint64_t again_ = 0;
};
