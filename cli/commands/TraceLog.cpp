#include "commands/TraceLog.h"

#include "commands/ConsoleUi.h"

TraceLog::TraceLog(ConsoleUi& console) : console_(console) {}

bool TraceLog::OpenFile(const std::string& path) {
    // Binary, so that every system writes the same bytes: lines end in "\n" on Windows too.
    file_.open(path, std::ios::out | std::ios::trunc | std::ios::binary);
    return file_.is_open();
}

bool TraceLog::Wanted() const {
    return file_.is_open() || console_.Verbose();
}

void TraceLog::Line(const std::string& line) {
    if (file_.is_open()) {
        // Flushed line by line, so an interrupted run leaves every transfer it made.
        file_ << line << '\n' << std::flush;
    }
    console_.Trace(line);
}
