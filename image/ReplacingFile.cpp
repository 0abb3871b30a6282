#include "ReplacingFile.h"

#include <filesystem>

#include "Utf8Path.h"

#ifdef _WIN32
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <random>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#endif

namespace {

#ifndef _WIN32
std::string FolderOf(const std::string& path) {
    const std::filesystem::path folder = Utf8Path(path).parent_path();
    const std::u8string text = folder.u8string();
    return text.empty() ? std::string(".") : std::string(text.begin(), text.end());
}

// The permissions a new file gets: 0666 less the process's umask, read without changing it
// (umask() would, for every thread at once).
mode_t NewFileMode() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("Umask:", 0) == 0) {
            return 0666 & ~static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
        }
    }
    return 0644;
}
#endif

}  // namespace

ReplacingFile::ReplacingFile(std::string path) : path_(std::move(path)) {}

#ifdef _WIN32

ReplacingFile::~ReplacingFile() {
    if (handle_ != nullptr) {
        CloseHandle(static_cast<HANDLE>(handle_));
    }
    if (!temporary_.empty() && !committed_) {
        DeleteFileW(Utf8Path(temporary_).wstring().c_str());
    }
}

bool ReplacingFile::Fail(std::string& reason) {
    reason = "error " + std::to_string(GetLastError());
    return false;
}

bool ReplacingFile::Create(std::string& reason) {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".%08x", static_cast<unsigned>(random()));
        const std::string name = path_ + suffix;
        HANDLE handle = CreateFileW(Utf8Path(name).wstring().c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            handle_ = handle;
            temporary_ = name;
            return true;
        }
        if (GetLastError() != ERROR_FILE_EXISTS) {
            return Fail(reason);
        }
    }
    return Fail(reason);
}

bool ReplacingFile::Write(std::string_view bytes, std::string& reason) {
    while (!bytes.empty()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        if (!WriteFile(static_cast<HANDLE>(handle_), bytes.data(), chunk, &written, nullptr)) {
            return Fail(reason);
        }
        bytes.remove_prefix(written);
    }
    return true;
}

bool ReplacingFile::Commit(std::string& reason) {
    HANDLE handle = static_cast<HANDLE>(handle_);
    handle_ = nullptr;
    const bool flushed = FlushFileBuffers(handle);
    const DWORD code = GetLastError();
    CloseHandle(handle);
    if (!flushed) {
        SetLastError(code);
        return Fail(reason);
    }
    if (!MoveFileExW(Utf8Path(temporary_).wstring().c_str(), Utf8Path(path_).wstring().c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return Fail(reason);
    }
    committed_ = true;
    return true;
}

#else

ReplacingFile::~ReplacingFile() {
    if (fd_ >= 0) {
        close(fd_);
    }
    if (!temporary_.empty() && !committed_) {
        unlink(temporary_.c_str());
    }
}

bool ReplacingFile::Fail(std::string& reason) {
    reason = std::strerror(errno);
    return false;
}

bool ReplacingFile::Create(std::string& reason) {
    std::string name = path_ + ".XXXXXX";
    const int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        return Fail(reason);
    }
    fd_ = fd;
    temporary_ = name;
    struct stat replaced {};
    const mode_t mode =
        stat(path_.c_str(), &replaced) == 0 ? (replaced.st_mode & 07777) : NewFileMode();
    return fchmod(fd_, mode) == 0 || Fail(reason);
}

bool ReplacingFile::Write(std::string_view bytes, std::string& reason) {
    while (!bytes.empty()) {
        const ssize_t written = write(fd_, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            if (written == 0) {
                errno = ENOSPC;
            }
            return Fail(reason);
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

bool ReplacingFile::Commit(std::string& reason) {
    const int fd = fd_;
    fd_ = -1;
    if (fsync(fd) != 0) {
        const int code = errno;
        close(fd);
        errno = code;
        return Fail(reason);
    }
    if (close(fd) != 0 || std::rename(temporary_.c_str(), path_.c_str()) != 0) {
        return Fail(reason);
    }
    committed_ = true;
    // The rename itself must reach the disk.
    return SyncFolder(FolderOf(path_)) || Fail(reason);
}

bool SyncFolder(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_CLOEXEC);
    const bool synced = fd >= 0 && fsync(fd) == 0;
    const int code = errno;
    if (fd >= 0) {
        close(fd);
    }
    errno = code;
    return synced;
}

#endif

bool ReplaceWholeFile(const std::string& path, std::string_view contents, std::string& reason) {
    ReplacingFile file(path);
    return file.Create(reason) && file.Write(contents, reason) && file.Commit(reason);
}
