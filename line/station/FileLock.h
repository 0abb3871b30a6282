#pragma once

#include <filesystem>
#include <string>

#include "station/WaitNotice.h"

// An exclusive advisory lock on a file (flock, or LockFileEx on Windows), held while the
// object holds it. The system drops it when the process ends, however it ends.
class FileLock {
public:
    enum class Result { Locked, InUse, Failed, Interrupted };
    // What Acquire does with the file.
    struct Way {
        // Waits while another process holds the lock, saying so after a second and ending
        // the wait when the run is interrupted (Interrupted); otherwise InUse at once.
        bool wait = false;
        // Made readable and writable by its owner alone, and never through a link in its
        // place (POSIX); otherwise by everybody the umask allows.
        bool ownerOnly = false;
        // Removed by Release while still held, so that lock files do not pile up (POSIX).
        bool removedOnRelease = false;
        // While waiting: the notice, and what is waited for ("the serial counter c.txt
        // (locked by another process)").
        const WaitNotice* notice = nullptr;
        std::string waitingFor;
    };
    // The step of a failed Acquire.
    enum class Failure { Open, Lock, KeepsBeingReplaced };

    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Opens the file, making it when missing, and locks it. A lock won on a file that another
    // process has meanwhile removed or replaced guards nothing, so Acquire then tries again
    // with the file now at the path. When it fails, FailedStep and SystemReason say why.
    Result Acquire(const std::filesystem::path& file, const Way& way);
    void Release();
    bool Held() const;

    Failure FailedStep() const { return failedStep_; }
    // The system's words for the failure: strerror's, or on Windows "error N".
    const std::string& SystemReason() const { return systemReason_; }

private:
    Result Fail(Failure step);
#ifndef _WIN32
    // Locks the open file, waiting as the way says.
    Result Lock(int fd, const Way& way);
#endif

    std::filesystem::path path_;
    bool removedOnRelease_ = false;
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
    Failure failedStep_ = Failure::Open;
    std::string systemReason_;
};
