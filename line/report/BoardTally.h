#pragma once

#include <cstdint>
#include <string>
#include <tuple>
#include <unordered_map>

#include "report/ReportFigures.h"
#include "report/ReportRecord.h"

// The boards of the records and how each fared. A board is known by its board id, else by
// its serial number; a run with neither is a board of its own. Its first and last
// programming runs (write, write-verify) give first-pass and final yield, in the order of
// their times to the fraction of a second, then of their runs.
class BoardTally {
public:
    void Add(const ReportRecord& record, std::uint64_t sequence);
    void Finish(ReportFigures& figures);

private:
    // When a run ended: its time to the fraction of a second, then its run (the UUID's first
    // 64 bits; none for older records), then the reading order.
    struct Moment {
        std::int64_t time = 0;
        std::uint32_t microseconds = 0;
        std::uint64_t run = 0;
        std::uint64_t sequence = 0;
        bool operator<(const Moment& other) const {
            return std::tie(time, microseconds, run, sequence) <
                   std::tie(other.time, other.microseconds, other.run, other.sequence);
        }
    };
    struct Board {
        ReportFigures::Board row;
        Moment first;
        Moment last;
        Moment firstProgramming;
        Moment lastProgramming;
    };

    std::unordered_map<std::string, Board> boards_;
};
