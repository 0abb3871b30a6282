#include "report/ReportOutput.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "Utf8Path.h"

ReportOutput::~ReportOutput() {
    Discard();
}

bool ReportOutput::Open(std::string& error) {
    temporary_ = path_ + ".tmp";
    errno = 0;
    out_.open(Utf8Path(temporary_), std::ios::binary | std::ios::trunc);
    if (!out_) {
        error = "cannot write the report " + path_;
        if (errno != 0) {
            error += std::string(" (") + std::strerror(errno) + ")";
        }
        return false;
    }
    open_ = true;
    return true;
}

bool ReportOutput::Commit(std::string& error) {
    out_.close();
    std::error_code ec;
    if (out_.fail()) {
        error = "cannot write the report " + path_;
    } else {
        std::filesystem::rename(Utf8Path(temporary_), Utf8Path(path_), ec);
        if (ec) {
            error = "cannot write the report " + path_ + " (" + ec.message() + ")";
        }
    }
    if (!error.empty()) {
        Discard();
        return false;
    }
    open_ = false;
    return true;
}

void ReportOutput::Discard() {
    if (!open_) {
        return;
    }
    out_.close();
    std::error_code ignored;
    std::filesystem::remove(Utf8Path(temporary_), ignored);
    open_ = false;
}
