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
#include <thread>
#endif

namespace {

#ifndef _WIN32
// Whether the open file is still the one at the path.
bool StillAtPath(int fd, const std::filesystem::path& path) {
    struct stat held {};
    struct stat named {};
    return fstat(fd, &held) == 0 && stat(path.c_str(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}
#endif

// A wait that nobody watches: it cannot be interrupted and says nothing.
const WaitNotice kUnwatched;

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

FileLock::Result FileLock::Acquire(const std::filesystem::path& file, const Way& way) {
    Release();
    path_ = file;
    removedOnRelease_ = false;
    HANDLE handle = CreateFileW(file.wstring().c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return Fail(Failure::Open);
    }
    PatientWait patience(way.notice != nullptr ? *way.notice : kUnwatched, way.waitingFor);
    for (;;) {
        OVERLAPPED whole = {};
        if (LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                       &whole)) {
            handle_ = handle;
            return Result::Locked;
        }
        const DWORD code = GetLastError();
        const bool held = code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING;
        if (!held || !way.wait || !patience.GoOn()) {
            CloseHandle(handle);
            if (held) {
                return way.wait ? Result::Interrupted : Result::InUse;
            }
            SetLastError(code);
            return Fail(Failure::Lock);
        }
        Sleep(static_cast<DWORD>(PatientWait::kRest.count()));
    }
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

FileLock::Result FileLock::Lock(int fd, const Way& way) {
    PatientWait patience(way.notice != nullptr ? *way.notice : kUnwatched, way.waitingFor);
    for (;;) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            return Result::Locked;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EWOULDBLOCK) {
            return Fail(Failure::Lock);
        }
        if (!way.wait) {
            return Result::InUse;
        }
        // Polled rather than blocked on, so that Ctrl+C ends the wait at once.
        if (!patience.GoOn()) {
            return Result::Interrupted;
        }
        std::this_thread::sleep_for(PatientWait::kRest);
    }
}

FileLock::Result FileLock::Acquire(const std::filesystem::path& file, const Way& way) {
    Release();
    path_ = file;
    removedOnRelease_ = way.removedOnRelease;
    const int flags = O_RDWR | O_CREAT | O_CLOEXEC | (way.ownerOnly ? O_NOFOLLOW : 0);
    const mode_t mode = way.ownerOnly ? 0600 : 0666;
    // A path whose file still changes after this many tries is given up on.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int fd = open(file.c_str(), flags, mode);
        if (fd < 0) {
            return Fail(Failure::Open);
        }
        const Result locked = Lock(fd, way);
        if (locked != Result::Locked) {
            const int code = errno;
            close(fd);
            errno = code;
            return locked;
        }
        if (StillAtPath(fd, file)) {
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
