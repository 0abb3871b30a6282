#include "commands/TraceLog.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "Utf8Path.h"
#include "commands/ConsoleUi.h"

#ifndef _WIN32
#include <unistd.h>
#endif

TraceLog::TraceLog(ConsoleUi& console) : console_(console) {}

bool TraceLog::OpenFile(const std::string& path) {
    // Binary, so that every system writes the same bytes: lines end in "\n" on Windows too.
    file_.open(path, std::ios::out | std::ios::trunc | std::ios::binary);
    return file_.is_open();
}

std::string TraceLog::WhyNotWritable(const std::string& path) {
#ifdef _WIN32
    (void)path;
    return {};
#else
    std::error_code ec;
    const std::filesystem::path file = Utf8Path(path);
    if (std::filesystem::is_directory(file, ec)) {
        return std::strerror(EISDIR);
    }
    const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : ".";
    const bool exists = std::filesystem::exists(file, ec);
    if (access((exists ? file : folder).c_str(), W_OK) != 0) {
        return std::strerror(errno);
    }
    return {};
#endif
}

void TraceLog::Line(const std::string& line) {
    if (file_.is_open()) {
        // Flushed line by line, so an interrupted run leaves every transfer it made.
        file_ << line << '\n' << std::flush;
    }
    console_.Trace(line);
}
