#pragma once

#include <cstdint>

// What became of the lines of the logs (and the rows of the database) a report read.
struct LineCounts {
    std::uint64_t records = 0;        // read as records
    std::uint64_t blank = 0;          // skipped: nothing on them
    std::uint64_t notJson = 0;        // skipped: not JSON
    std::uint64_t cutShort = 0;       // skipped: a last line without its end, not JSON
    std::uint64_t notRecord = 0;      // skipped: JSON, but no record
    std::uint64_t unknownFields = 0;  // read, with fields a newer program wrote
    std::uint64_t duplicates = 0;     // copies of runs read before, from any source: left out

    std::uint64_t Skipped() const { return blank + notJson + cutShort + notRecord; }
};
