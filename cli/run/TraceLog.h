#pragma once

#include <cstdio>
#include <string>

#include "WireTrace.h"

class ConsoleUi;

// Where the wire trace goes: a --trace file, and with --verbose the console. A line that
// cannot be written in full ends the file's trace there, and the failure is kept for the
// run to report: a trace that stops in the middle of a frame is no record of the wire.
class TraceLog final : public WireTrace {
public:
    explicit TraceLog(ConsoleUi& console);
    ~TraceLog() override;
    TraceLog(const TraceLog&) = delete;
    TraceLog& operator=(const TraceLog&) = delete;

    // Creates or truncates the file; false with the system's reason when it cannot be
    // written. A FIFO that nobody reads is refused at once, not waited on.
    bool OpenFile(const std::string& path, std::string& reason);
    bool IsOpen() const { return file_ != nullptr; }
    // Why the file could not be written, without touching it; empty when it seems it could.
    static std::string WhyNotWritable(const std::string& path);
    // The system's words for the first line that could not be written in full; empty while
    // every line has reached the file.
    const std::string& Failure() const { return failure_; }

    void Line(const std::string& line) override;

private:
    ConsoleUi& console_;
    std::FILE* file_ = nullptr;
    long written_ = 0;  // the bytes of the whole lines in the file
    std::string failure_;
};
