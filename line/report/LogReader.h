#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "report/LineCounts.h"
#include "report/RecordLineParser.h"
#include "report/ReportRecord.h"

// Reads JSON Lines logs as --log writes them, a record a line. A line that is no record is
// counted, named on stderr with its file and line, and skipped; a record with fields this
// program does not know is read all the same, and counted. The first lines of each kind are
// named; past them, a line at the end of the file tells how many more there were.
class LogReader {
public:
    using Sink = std::function<void(ReportRecord&)>;
    using Warn = std::function<void(const std::string&)>;

    LogReader(Sink sink, Warn warn, const std::atomic<bool>* interrupted)
        : sink_(std::move(sink)), warn_(std::move(warn)), interrupted_(interrupted) {}

    // Reads one log; false with the reason when it cannot be read at all.
    bool Read(const std::string& path, std::string& error);
    const LineCounts& Counts() const { return counts_; }

private:
    void Line(std::string& line, bool ended);
    void Note(std::uint64_t& kind, const std::string& what);
    bool Interrupted() const { return interrupted_ != nullptr && interrupted_->load(); }

    Sink sink_;
    Warn warn_;
    const std::atomic<bool>* interrupted_;
    RecordLineParser parser_;
    ReportRecord record_;
    LineCounts counts_;
    std::string path_;
    std::uint64_t lineNumber_ = 0;
    std::uint64_t named_ = 0;  // lines of this file named on stderr
    std::uint64_t unnamed_ = 0;
};
