#include "station/PodLock.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "ResolvedPath.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

std::string FileNameFor(const std::string& serial) {
    std::string name = "vantix-pod-";
    for (const unsigned char c : serial) {
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
            c == '-' || c == '_') {
            name += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            name += escaped;
        }
    }
    return name + ".lock";
}

}  // namespace

std::string PodLock::KeyFor(const std::string& serial, const std::string* simulatedStatePath) {
    if (simulatedStatePath == nullptr) {
        return serial;
    }
    const std::string path = ResolvedPath(*simulatedStatePath);
    std::uint64_t hash = 1469598103934665603ull;  // FNV-1a
    for (const unsigned char c : path) {
        hash = (hash ^ c) * 1099511628211ull;
    }
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, "-%016llx", static_cast<unsigned long long>(hash));
    return serial + suffix;
}

PodLock::~PodLock() {
    Release();
}

std::string PodLock::Directory() {
#ifdef _WIN32
    std::error_code ec;
    return std::filesystem::temp_directory_path(ec).string();
#else
    // Neither XDG_RUNTIME_DIR nor TMPDIR: a station started by a service and one started
    // from a login shell must meet at the same lock.
    return "/tmp/vantix-" + std::to_string(getuid());
#endif
}

std::string PodLock::UnsafeDirectoryReason(const std::string& folder) {
#ifdef _WIN32
    (void)folder;
    return {};
#else
    struct stat status {};
    if (lstat(folder.c_str(), &status) != 0) {
        return {};  // creating it fails with its own reason
    }
    if (!S_ISDIR(status.st_mode)) {
        return "the lock folder " + folder + " is not a folder";
    }
    if (status.st_uid != getuid()) {
        return "the lock folder " + folder + " belongs to another user (uid " +
               std::to_string(status.st_uid) + "); remove it";
    }
    if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (status.st_mode & S_ISVTX) == 0) {
        return "the lock folder " + folder +
               " can be written by other users; make it private (chmod 700)";
    }
    return {};
#endif
}

std::string PodLock::PathFor(const std::string& serial) {
    return (std::filesystem::path(Directory()) / FileNameFor(serial)).string();
}

PodLock::Result PodLock::Acquire(const std::string& serial, std::string& error) {
    Release();
    const std::string folder = Directory();
#ifdef _WIN32
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
#else
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        error = "cannot make the lock folder " + folder + ": " + std::strerror(errno);
        return Result::Failed;
    }
    error = UnsafeDirectoryReason(folder);
    if (!error.empty()) {
        return Result::Failed;
    }
#endif
    const std::string path = PathFor(serial);
    FileLock::Way way;
    way.ownerOnly = true;
    way.removedOnRelease = true;
    switch (file_.Acquire(std::filesystem::path(path), way)) {
        case FileLock::Result::Locked:
            return Result::Locked;
        case FileLock::Result::InUse:
            return Result::InUse;
        case FileLock::Result::Failed:
        case FileLock::Result::Interrupted:  // a lock taken at once is never waited for
            break;
    }
#ifdef _WIN32
    const std::string reason = " (" + file_.SystemReason() + ")";
#else
    const std::string reason = ": " + file_.SystemReason();
#endif
    switch (file_.FailedStep()) {
        case FileLock::Failure::Open:
            error = "cannot open the lock file " + path + reason;
            break;
        case FileLock::Failure::Lock:
            error = "cannot lock " + path + reason;
            break;
        case FileLock::Failure::KeepsBeingReplaced:
            error = "cannot lock " + path + ": it keeps being replaced";
            break;
    }
    return Result::Failed;
}

void PodLock::Release() {
    file_.Release();
}
