#pragma once

#include <memory>
#include <sstream>
#include <string>

#include "ReplacingFile.h"

// A report file written whole or not at all: into a temporary file beside it, renamed over
// it once complete. Until then the file as it was stays; a report that fails half-way
// leaves no trace. A link is followed: the file it leads to is replaced, the link stays. A
// device or a FIFO (a terminal, /dev/stdout) is written where it stands, every write
// checked.
class ReportOutput {
public:
    explicit ReportOutput(std::string path);
    ~ReportOutput();
    ReportOutput(const ReportOutput&) = delete;
    ReportOutput& operator=(const ReportOutput&) = delete;

    // Creates the temporary file (or opens the device), before anything is read; false with
    // the reason.
    bool Open(std::string& error);
    std::ostream& Stream() { return text_; }
    // Writes the report into the temporary file and puts it in the report's place; false
    // with the reason.
    bool Commit(std::string& error);

private:
    bool Failed(const std::string& reason, std::string& error) const;

    std::string path_;
    std::unique_ptr<ReplacingFile> file_;
    int device_ = -1;
    std::ostringstream text_;
};
