#pragma once

#include <string>

#include "stationdb/PgConnection.h"

// The boards' records in the station database: each is the JSON line that --log writes, with
// the station and the run's UUID added, kept whole (jsonb) beside the columns a line searches
// by. A record is stored once, however often it is sent: the run's UUID is its key.
class RecordStore {
public:
    explicit RecordStore(PgConnection& db) : db_(db) {}

    // Stores the record; `added` is false when the run's record was there already.
    PgReply Store(const std::string& line, bool& added);

    // The record of a log line: the same fields, then "station", and "run" unless the log
    // line carries the run's UUID already.
    static std::string LineFor(const std::string& logLine, const std::string& station,
                               const std::string& run);
    // The JSON as jsonb takes it: a NUL character, which PostgreSQL's text cannot hold,
    // becomes U+FFFD, as stray bytes in the line already have.
    static std::string ForJsonb(const std::string& json);

private:
    PgConnection& db_;
};
