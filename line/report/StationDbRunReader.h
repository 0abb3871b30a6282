#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "report/LineCounts.h"
#include "report/ReportFilter.h"
#include "report/ReportRecord.h"
#include "stationdb/StationDb.h"

// Reads the boards' records from the station database's runs, each with the serial series
// its number came from, narrowed by the filter in the query itself. The rows come through a
// cursor a few thousand at a time, so that a long history never sits in memory at once.
class StationDbRunReader {
public:
    using Sink = std::function<void(ReportRecord&)>;
    using Warn = std::function<void(const std::string&)>;
    using Releases = std::function<void(std::vector<ReleaseInfo>)>;

    // A slow server is waited for as `notice` says, and Ctrl+C ends the reading.
    StationDbRunReader(Sink sink, Warn warn, WaitNotice notice)
        : sink_(std::move(sink)), warn_(std::move(warn)), notice_(std::move(notice)) {}

    // kExitSuccess; 2 for a URL libpq does not read, a database without the tables or a
    // build without PostgreSQL's client; 3 for a database out of reach. The message never
    // holds the password.
    StationDbOutcome Read(const std::string& url, const ReportFilter& filter);
    const LineCounts& Counts() const { return counts_; }
    // Where the images released on the line go, before the first record; a database whose
    // tables have none yet has released nothing.
    void OnReleases(Releases releases) { releases_ = std::move(releases); }
    // The database read, without the password; empty before.
    const std::string& Name() const { return name_; }

private:
    PgReply ReadReleases(PgConnection& db);

    Sink sink_;
    Warn warn_;
    Releases releases_;
    WaitNotice notice_;
    LineCounts counts_;
    std::string name_;
};
