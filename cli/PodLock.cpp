#include "PodLock.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
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
    std::error_code ec;
    const std::string path = std::filesystem::absolute(*simulatedStatePath, ec).string();
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
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') {
        return runtime;
    }
    std::error_code ec;
    std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
    if (ec) {
        folder = "/tmp";
    }
    return (folder / ("vantix-" + std::to_string(getuid()))).string();
#endif
}

std::string PodLock::PathFor(const std::string& serial) {
    return (std::filesystem::path(Directory()) / FileNameFor(serial)).string();
}

PodLock::Result PodLock::Acquire(const std::string& serial, std::string& error) {
    Release();
    std::error_code ec;
    std::filesystem::create_directories(Directory(), ec);
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
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
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
    fd_ = fd;
    return Result::Locked;
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
        close(fd_);  // closing the last descriptor drops the lock
        fd_ = -1;
    }
#endif
}
