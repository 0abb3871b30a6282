#pragma once

#include <string>

// What became of a board's record: stored where the options send it, kept in the spool for
// the station database to take later, or missing from a place it was to go.
enum class RecordFate { Stored, Spooled, Lost };

// The running tally of the boards of --repeat or of a run on several pods: how each board
// ended, and apart from that, what became of its record. A board that passed still passed
// when its record could not be kept.
class LineTally {
public:
    void Count(bool passed, RecordFate fate);
    int Boards() const { return passed_ + failed_; }
    int Passed() const { return passed_; }
    // "boards: 3 passed, 1 failed", and "; 1 record spooled", "; 1 record lost" when so.
    std::string Text() const;

private:
    int passed_ = 0;
    int failed_ = 0;
    int spooled_ = 0;
    int lost_ = 0;
};
