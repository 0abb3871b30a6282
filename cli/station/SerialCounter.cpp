#include "station/SerialCounter.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "ResolvedPath.h"
#include "Utf8Path.h"
#include "station/FileLock.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
std::string SystemError() {
    return "error " + std::to_string(GetLastError());
}
#else
std::string SystemError() {
    return std::strerror(errno);
}
#endif

// Writes the text to a new file beside `path`, flushes it and puts it in place of `path`.
bool ReplaceDurably(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".new";
#ifdef _WIN32
    HANDLE file = CreateFileW(Utf8Path(temporary).wstring().c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const bool flushed =
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
        written == text.size() && FlushFileBuffers(file);
    CloseHandle(file);
    return flushed &&
           MoveFileExW(Utf8Path(temporary).wstring().c_str(), Utf8Path(path).wstring().c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
#else
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        return false;
    }
    const bool flushed =
        write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) && fsync(fd) == 0;
    if (close(fd) != 0 || !flushed || std::rename(temporary.c_str(), path.c_str()) != 0) {
        return false;
    }
    // The rename itself must reach the disk before the board is touched.
    std::string folder = std::filesystem::path(path).parent_path().string();
    const int directory = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_CLOEXEC);
    const bool synced = directory >= 0 && fsync(directory) == 0;
    if (directory >= 0) {
        close(directory);
    }
    return synced;
#endif
}

}  // namespace

bool ParseSerialNumber(const std::string& text, std::uint64_t& number) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    const std::size_t last = text.find_last_not_of(" \t\r\n");
    if (first == std::string::npos || last - first + 1 > 19) {
        return false;
    }
    const char* begin = text.data() + first;
    const char* end = text.data() + last + 1;
    const std::from_chars_result parsed = std::from_chars(begin, end, number);
    return parsed.ec == std::errc() && parsed.ptr == end && *begin != '-' && *begin != '+';
}

namespace {

// Why a counter's text is no number, as precisely as its text allows.
std::string WhatCounterHolds(const std::string& text) {
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) {
        return "starts with a byte-order mark";
    }
    const std::size_t last = text.find_last_not_of(" \t\r\n");
    if (last != std::string::npos && text.find_first_of("\r\n") < last) {
        return "holds more than one line";
    }
    return "holds no number";
}

}  // namespace

bool TakeSerialNumber(const std::string& path, std::uint64_t largest, std::uint64_t& number,
                      std::string& error) {
    // The lock, the new file and the rename all lie beside the file the name finally leads
    // to: every spelling of one counter (a link, a relative path) shares one lock, and a link
    // to the counter stays a link.
    const std::string resolved = ResolvedPath(path);
    FileLock lock;
    if (lock.Acquire(Utf8Path(resolved + ".lock"), {.wait = true}) != FileLock::Result::Locked) {
        error = "cannot lock the serial counter " + resolved + ".lock: " + lock.SystemReason();
        return false;
    }
    std::ifstream file(Utf8Path(resolved), std::ios::binary);
    if (!file) {
        error = "cannot read the serial counter " + path + ": " + SystemError();
        return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    if (!ParseSerialNumber(text.str(), number)) {
        error = "the serial counter " + path + " " + WhatCounterHolds(text.str());
        return false;
    }
    if (number > largest) {
        error = "the serial counter " + path + " is at " + std::to_string(number) +
                ", beyond the largest serial number " + std::to_string(largest);
        return false;
    }
    if (!ReplaceDurably(resolved, std::to_string(number + 1) + "\n")) {
        error = "cannot write the serial counter " + path + ": " + SystemError();
        return false;
    }
    return true;
}
