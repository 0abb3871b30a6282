#pragma once

#include <optional>
#include <sstream>
#include <string>

#include "ReplacingFile.h"

// A report file written whole or not at all: into a temporary file beside it, renamed over
// it once complete. Until then the file as it was stays; a report that fails half-way
// leaves no trace.
class ReportOutput {
public:
    explicit ReportOutput(std::string path) : path_(std::move(path)), file_(path_) {}

    // Creates the temporary file, before anything is read; false with the reason.
    bool Open(std::string& error);
    std::ostream& Stream() { return text_; }
    // Writes the report into the temporary file and puts it in the report's place; false
    // with the reason.
    bool Commit(std::string& error);

private:
    std::string path_;
    ReplacingFile file_;
    std::ostringstream text_;
};
