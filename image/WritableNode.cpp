#include "WritableNode.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

#ifdef _WIN32

bool IsDeviceOrFifo(const std::string&) {
    return false;
}

#else

bool IsDeviceOrFifo(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 &&
           (S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode) || S_ISFIFO(status.st_mode));
}

int OpenForWriting(const std::string& path, int flags, unsigned mode, std::string& reason) {
    struct stat status {};
    const bool fifo = stat(path.c_str(), &status) == 0 && S_ISFIFO(status.st_mode);
    const int fd = open(path.c_str(), flags | O_CLOEXEC | (fifo ? O_NONBLOCK : 0),
                        static_cast<mode_t>(mode));
    if (fd < 0) {
        reason = fifo && errno == ENXIO ? "it is a FIFO with no reader"
                                        : std::strerror(errno);
        return -1;
    }
    if (fifo && fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        reason = std::strerror(errno);
        close(fd);
        return -1;
    }
    return fd;
}

bool SyncWritten(int fd) {
    struct stat status {};
    if (fstat(fd, &status) == 0 && !S_ISREG(status.st_mode)) {
        return true;
    }
    return fsync(fd) == 0;
}

#endif
