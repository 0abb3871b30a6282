#include "SingleInstanceGuard.h"

#include <QDir>

#if defined(Q_OS_UNIX)
#include <unistd.h>
#endif

SingleInstanceGuard::SingleInstanceGuard(const QString& directory)
    : path_(QDir(directory).filePath(LockFileName())), lock_(path_) {
    // Never stale by age: only a lock whose process has gone may be taken over.
    lock_.setStaleLockTime(0);
}

bool SingleInstanceGuard::TryAcquire() {
    return lock_.isLocked() || lock_.tryLock(0);
}

QString SingleInstanceGuard::LockFileName() {
#if defined(Q_OS_UNIX)
    return QStringLiteral("%1-%2.lock").arg(QLatin1String(kLockName)).arg(::getuid());
#else
    // The temporary folder is the user's own.
    return QStringLiteral("%1.lock").arg(QLatin1String(kLockName));
#endif
}
