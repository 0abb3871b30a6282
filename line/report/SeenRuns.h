#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "report/ReportRecord.h"

// The runs a report has taken, so that each run counts once however many of its sources hold
// it: the station database and a log, two logs, or a log named twice. A run is known by its
// UUID; a record of an older vantix-cli, which has none, by its fields. A run's started
// entry, or the "unknown" record a later run made of it, gives way to the run's own record
// wherever that is found; a run with nothing else counts as one that ended unknown.
class SeenRuns {
public:
    using Take = std::function<void(ReportRecord&)>;

    // Hands the record to `take` unless its run was taken before; a stand-in waits.
    void Offer(ReportRecord& record, const Take& take);
    // The runs known by stand-ins alone, each as a run that ended unknown.
    void Finish(const Take& take);
    // The copies left out.
    std::uint64_t Again() const { return again_; }

private:
    std::unordered_set<std::string> keys_;
    std::unordered_map<std::string, ReportRecord> standIns_;
    std::uint64_t again_ = 0;
};
