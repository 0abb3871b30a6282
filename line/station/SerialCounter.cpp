#include "station/SerialCounter.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "ReplacingFile.h"
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

// Locks the counter beside the file its name finally leads to, so that every spelling of one
// counter (a link, a relative path) shares one lock; `resolved` is that file. A counter moved
// or relinked while we waited has its lock elsewhere, so the lock is taken again there.
bool LockCounter(const std::string& path, const WaitNotice& notice, FileLock& lock,
                 std::string& resolved, std::string& error, bool& interrupted) {
    FileLock::Way way;
    way.wait = true;
    way.notice = &notice;
    way.waitingFor = "the serial counter " + path + " (locked by another process)";
    for (int tries = 0; tries < 100; ++tries) {
        resolved = ResolvedPath(path);
        const FileLock::Result locked = lock.Acquire(Utf8Path(resolved + ".lock"), way);
        if (locked == FileLock::Result::Interrupted) {
            interrupted = true;
            return false;
        }
        if (locked != FileLock::Result::Locked) {
            error = "cannot lock the serial counter " + resolved + ".lock: " + lock.SystemReason();
            return false;
        }
        if (ResolvedPath(path) == resolved) {
            return true;
        }
        lock.Release();
    }
    error = "cannot lock the serial counter " + path + ": it keeps being moved";
    return false;
}

// The number the locked counter holds, no larger than `largest`.
bool ReadCounter(const std::string& path, const std::string& resolved, std::uint64_t largest,
                 std::uint64_t& number, std::string& error) {
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
    return true;
}

}  // namespace

bool TakeSerialNumber(const std::string& path, std::uint64_t largest, std::uint64_t& number,
                      std::string& error, const WaitNotice& notice, bool& interrupted,
                      const std::function<bool(std::uint64_t)>& beforeMoving) {
    interrupted = false;
    // A FIFO or a device would be waited on, or read as nothing, and cannot be replaced.
    std::error_code ec;
    const std::filesystem::file_status kind = std::filesystem::status(Utf8Path(path), ec);
    if (std::filesystem::exists(kind) && !std::filesystem::is_regular_file(kind)) {
        error = "the serial counter " + path + " is not a regular file";
        return false;
    }
    // The lock, the new file and the rename all lie beside the file the name leads to, so a
    // link to the counter stays a link.
    FileLock lock;
    std::string resolved;
    if (!LockCounter(path, notice, lock, resolved, error, interrupted) ||
        !ReadCounter(path, resolved, largest, number, error)) {
        return false;
    }
    if (beforeMoving && !beforeMoving(number)) {
        error.clear();
        return false;
    }
    // The next number goes to a new file that replaces the counter only once it is on the
    // disk, so the counter never holds half a number, and never a number already taken.
    if (std::string reason;
        !ReplaceWholeFile(resolved, std::to_string(number + 1) + "\n", reason)) {
        error = "cannot write the serial counter " + path + ": " + reason;
        return false;
    }
    return true;
}
