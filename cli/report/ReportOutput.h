#pragma once

#include <fstream>
#include <string>

// A report file written whole or not at all: into a temporary file beside it, renamed over
// it once complete. Until then the file as it was stays; a report that fails half-way
// leaves no trace.
class ReportOutput {
public:
    explicit ReportOutput(std::string path) : path_(std::move(path)) {}
    ~ReportOutput();
    ReportOutput(const ReportOutput&) = delete;
    ReportOutput& operator=(const ReportOutput&) = delete;

    // Creates the temporary file, before anything is read; false with the reason.
    bool Open(std::string& error);
    std::ostream& Stream() { return out_; }
    // Closes the temporary file and puts it in the report's place; false with the reason.
    bool Commit(std::string& error);

private:
    void Discard();

    std::string path_;
    std::string temporary_;
    std::ofstream out_;
    bool open_ = false;
};
