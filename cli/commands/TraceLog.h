#pragma once

#include <fstream>
#include <string>

#include "WireTrace.h"

class ConsoleUi;

// Where the wire trace goes: a --trace file, and with --verbose the console.
class TraceLog final : public WireTrace {
public:
    explicit TraceLog(ConsoleUi& console);

    // Creates or truncates the file; false when it cannot be written.
    bool OpenFile(const std::string& path);
    bool IsOpen() const { return file_.is_open(); }
    // Why the file could not be written, without touching it; empty when it seems it could.
    static std::string WhyNotWritable(const std::string& path);

    void Line(const std::string& line) override;

private:
    ConsoleUi& console_;
    std::ofstream file_;
};
