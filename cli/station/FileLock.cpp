#include "station/FileLock.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace {

#ifndef _WIN32
bool LockDescriptor(int fd, bool wait) {
    for (;;) {
        if (flock(fd, wait ? LOCK_EX : LOCK_EX | LOCK_NB) == 0) {
            return true;
        }
        if (errno != EINTR) {
            return false;
        }
    }
}

// Whether the open file is still the one at the path.
bool StillAtPath(int fd, const std::filesystem::path& path) {
    struct stat held {};
    struct stat named {};
    return fstat(fd, &held) == 0 && stat(path.c_str(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}
#endif

}  // namespace

FileLock::~FileLock() {
    Release();
}

FileLock::Result FileLock::Fail(Failure step) {
    failedStep_ = step;
#ifdef _WIN32
    systemReason_ = "error " + std::to_string(GetLastError());
#else
    systemReason_ = std::strerror(errno);
#endif
    return Result::Failed;
}

#ifdef _WIN32

FileLock::Result FileLock::Acquire(const std::filesystem::path& file, Way way) {
    Release();
    path_ = file;
    removedOnRelease_ = false;
    HANDLE handle = CreateFileW(file.wstring().c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return Fail(Failure::Open);
    }
    OVERLAPPED whole = {};
    const DWORD flags = LOCKFILE_EXCLUSIVE_LOCK | (way.wait ? 0 : LOCKFILE_FAIL_IMMEDIATELY);
    if (!LockFileEx(handle, flags, 0, 1, 0, &whole)) {
        const DWORD code = GetLastError();
        CloseHandle(handle);
        if (!way.wait && (code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING)) {
            return Result::InUse;
        }
        SetLastError(code);
        return Fail(Failure::Lock);
    }
    handle_ = handle;
    return Result::Locked;
}

void FileLock::Release() {
    if (handle_ != nullptr) {
        CloseHandle(static_cast<HANDLE>(handle_));  // closing the handle drops the lock
        handle_ = nullptr;
    }
}

bool FileLock::Held() const {
    return handle_ != nullptr;
}

#else

FileLock::Result FileLock::Acquire(const std::filesystem::path& file, Way way) {
    Release();
    path_ = file;
    removedOnRelease_ = way.removedOnRelease;
    const int flags = O_RDWR | O_CREAT | O_CLOEXEC | (way.ownerOnly ? O_NOFOLLOW : 0);
    const mode_t mode = way.ownerOnly ? 0600 : 0666;
    // Holders remove the file as they let go; a path whose file still changes after this
    // many tries is given up on.
    const int attempts = way.removedOnRelease ? 100 : 1;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        const int fd = open(file.c_str(), flags, mode);
        if (fd < 0) {
            return Fail(Failure::Open);
        }
        if (!LockDescriptor(fd, way.wait)) {
            const int code = errno;
            close(fd);
            errno = code;
            return !way.wait && code == EWOULDBLOCK ? Result::InUse : Fail(Failure::Lock);
        }
        if (!way.removedOnRelease || StillAtPath(fd, file)) {
            fd_ = fd;
            return Result::Locked;
        }
        close(fd);
    }
    failedStep_ = Failure::KeepsBeingReplaced;
    systemReason_.clear();
    return Result::Failed;
}

void FileLock::Release() {
    if (fd_ >= 0) {
        if (removedOnRelease_) {
            unlink(path_.c_str());  // still held: nobody can have locked the file meanwhile
        }
        close(fd_);  // closing the last descriptor drops the lock
        fd_ = -1;
    }
}

bool FileLock::Held() const {
    return fd_ >= 0;
}

#endif
