#pragma once

#include <string>

#include "station/FileLock.h"

// An advisory lock on one pod, keyed by its serial number, so that two processes never talk
// to the same pod at once. The lock is a file in a per-user folder that does not depend on
// the environment; the system drops the lock when the process ends, however it ends, so a
// crashed station never blocks a pod, and the file goes with the lock.
class PodLock {
public:
    enum class Result { Locked, InUse, Failed };

    PodLock() = default;
    ~PodLock();
    PodLock(const PodLock&) = delete;
    PodLock& operator=(const PodLock&) = delete;

    // Takes the lock of the pod with this serial number without waiting. Failed (with the
    // reason in error) when the lock file cannot be made; the pod is then not used.
    Result Acquire(const std::string& serial, std::string& error);
    void Release();

    // The key of a pod's lock: its serial number. A simulated pod lives in its state file:
    // pods of two state files are two pods whatever their serial numbers, so the file (its
    // real path, links resolved: every spelling of one file is one pod) is part of the key.
    static std::string KeyFor(const std::string& serial, const std::string* simulatedStatePath);
    // The folder of the lock files: /tmp/vantix-UID whatever the environment says, so that
    // every process of the user finds the same locks; on Windows the user's temporary folder.
    static std::string Directory();
    // Empty when the folder is safe to keep locks in: a folder (not a link) that the user
    // owns and that nobody else can write. Otherwise why not, in words for the user.
    static std::string UnsafeDirectoryReason(const std::string& folder);
    // The lock file of a serial number; characters other than letters, digits, '-' and '_'
    // are written as %XX so that no two serial numbers share a file.
    static std::string PathFor(const std::string& serial);

private:
    FileLock file_;
};
