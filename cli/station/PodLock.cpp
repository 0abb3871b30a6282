#include "station/PodLock.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "ResolvedPath.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
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
    std::error_code ec;
    const std::string folder = Directory();
#ifdef _WIN32
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
#ifdef _WIN32
    HANDLE file = CreateFileW(std::filesystem::path(path).wstring().c_str(),
                              GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error =
            "cannot open the lock file " + path + " (error " + std::to_string(GetLastError()) + ")";
        return Result::Failed;
    }
    OVERLAPPED whole = {};
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole)) {
        const DWORD code = GetLastError();
        CloseHandle(file);
        if (code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING) {
            return Result::InUse;
        }
        error = "cannot lock " + path + " (error " + std::to_string(code) + ")";
        return Result::Failed;
    }
    handle_ = file;
    return Result::Locked;
#else
    // A holder removes the file before it lets go; a lock won on a file that is no longer
    // the one at the path is worth nothing, so try again with the new file.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            error = "cannot open the lock file " + path + ": " + std::strerror(errno);
            return Result::Failed;
        }
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int code = errno;
            close(fd);
            if (code == EWOULDBLOCK) {
                return Result::InUse;
            }
            error = "cannot lock " + path + ": " + std::strerror(code);
            return Result::Failed;
        }
        struct stat held {};
        struct stat named {};
        if (fstat(fd, &held) == 0 && stat(path.c_str(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            fd_ = fd;
            path_ = path;
            return Result::Locked;
        }
        close(fd);
    }
    error = "cannot lock " + path + ": it keeps being replaced";
    return Result::Failed;
#endif
}

void PodLock::Release() {
#ifdef _WIN32
    if (handle_ != nullptr) {
        CloseHandle(static_cast<HANDLE>(handle_));  // closing the handle drops the lock
        handle_ = nullptr;
    }
#else
    if (fd_ >= 0) {
        unlink(path_.c_str());  // still held: nobody can have locked the file meanwhile
        close(fd_);             // closing the last descriptor drops the lock
        fd_ = -1;
    }
#endif
}
