#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "report/ReportFigures.h"
#include "report/ReportRecord.h"

// The boards of the records and how each fared. A board is known by its board id, else by
// its serial number; a run with neither is a board of its own. Its first and last
// programming runs (write, write-verify) give first-pass and final yield, in the order of
// their times (records of one second, in the order they were read).
class BoardTally {
public:
    void Add(const ReportRecord& record, std::uint64_t sequence);
    void Finish(ReportFigures& figures);

private:
    struct Moment {
        std::int64_t time = 0;
        std::uint64_t sequence = 0;
        bool operator<(const Moment& other) const {
            return time != other.time ? time < other.time : sequence < other.sequence;
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
