#pragma once

#include <QLockFile>
#include <QString>

// Lets one instance of the program run per user: a lock file named after "UVantix" in a
// folder (the temporary folder by default). A lock left by an instance that crashed is taken
// over, since its process no longer runs.
class SingleInstanceGuard {
public:
    static constexpr const char* kLockName = "UVantix";

    explicit SingleInstanceGuard(const QString& directory);
    SingleInstanceGuard(const SingleInstanceGuard&) = delete;
    SingleInstanceGuard& operator=(const SingleInstanceGuard&) = delete;

    // False when a running instance holds the lock. Held until this object goes.
    bool TryAcquire();
    bool IsHeld() const { return lock_.isLocked(); }
    const QString& LockPath() const { return path_; }

    // "UVantix-<user id>.lock": the temporary folder may be shared by several users.
    static QString LockFileName();

private:
    QString path_;
    QLockFile lock_;
};
