#include "run/TraceLog.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "Utf8Path.h"
#include "run/ConsoleUi.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>

#include "WritableNode.h"
#endif

TraceLog::TraceLog(ConsoleUi& console) : console_(console) {}

TraceLog::~TraceLog() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

bool TraceLog::OpenFile(const std::string& path, std::string& reason) {
#ifdef _WIN32
    // Binary, so that every system writes the same bytes: lines end in "\n" on Windows too.
    file_ = std::fopen(path.c_str(), "wb");
    reason = file_ == nullptr ? std::strerror(errno) : "";
#else
    const int fd = OpenForWriting(path, O_WRONLY | O_CREAT | O_TRUNC, 0666, reason);
    file_ = fd >= 0 ? fdopen(fd, "wb") : nullptr;
    if (fd >= 0 && file_ == nullptr) {
        reason = std::strerror(errno);
        close(fd);
    }
#endif
    return file_ != nullptr;
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
    if (file_ != nullptr && failure_.empty()) {
        // Flushed line by line, so an interrupted run leaves every transfer it made.
        const std::string whole = line + '\n';
        errno = 0;
        if (std::fwrite(whole.data(), 1, whole.size(), file_) != whole.size() ||
            std::fflush(file_) != 0) {
            failure_ = std::strerror(errno != 0 ? errno : EIO);
#ifndef _WIN32
            // The trace ends with the last whole line, not in the middle of a frame.
            [[maybe_unused]] const int kept = ftruncate(fileno(file_), written_);
#endif
        } else {
            written_ += static_cast<long>(whole.size());
        }
    }
    console_.Trace(line);
}
