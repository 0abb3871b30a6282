#include "records/RunLog.h"

#include "Utf8Path.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

RunLog::~RunLog() {
#ifdef _WIN32
    if (handle_ != nullptr) {
        CloseHandle(static_cast<HANDLE>(handle_));
    }
#else
    if (fd_ >= 0) {
        close(fd_);
    }
#endif
}

bool RunLog::IsOpen() const {
#ifdef _WIN32
    return handle_ != nullptr;
#else
    return fd_ >= 0;
#endif
}

bool RunLog::Open(const std::string& path, std::string& error) {
    path_ = path;
#ifdef _WIN32
    const std::filesystem::path file = Utf8Path(path);
    // FILE_APPEND_DATA alone makes every write land at the end, whoever else appends.
    HANDLE handle =
        CreateFileW(file.wstring().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error =
            "cannot write the log file " + path + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    handle_ = handle;
#else
    fd_ = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        error = "cannot write the log file " + path + ": " + std::strerror(errno);
        return false;
    }
#endif
    return true;
}

bool RunLog::Append(const std::string& line, std::string& error) {
    const std::string whole = line + '\n';
#ifdef _WIN32
    DWORD written = 0;
    if (!WriteFile(static_cast<HANDLE>(handle_), whole.data(), static_cast<DWORD>(whole.size()),
                   &written, nullptr) ||
        written != whole.size() || !FlushFileBuffers(static_cast<HANDLE>(handle_))) {
        error = "cannot write the log file " + path_ + " (error " + std::to_string(GetLastError()) +
                ")";
        return false;
    }
#else
    // One write: with O_APPEND the kernel places it whole at the end of the file.
    const ssize_t written = write(fd_, whole.data(), whole.size());
    if (written != static_cast<ssize_t>(whole.size()) || fsync(fd_) != 0) {
        error = "cannot write the log file " + path_ + ": " +
                (written < 0 || written == static_cast<ssize_t>(whole.size()) ? std::strerror(errno)
                                                                              : "short write");
        return false;
    }
#endif
    return true;
}

std::string RunLog::UtcNow(bool milliseconds) {
    const auto since1970 = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::system_clock::now().time_since_epoch());
    const std::time_t now = static_cast<std::time_t>(since1970.count() / 1000);
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &now);
#else
    gmtime_r(&now, &utc);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    char fraction[8] = "";
    if (milliseconds) {
        std::snprintf(fraction, sizeof fraction, ".%03d", static_cast<int>(since1970.count() % 1000));
    }
    return std::string(text) + fraction + "Z";
}

std::string RunLog::HostName() {
#ifdef _WIN32
    char name[256] = {};
    DWORD size = sizeof name;
    if (GetComputerNameExA(ComputerNameDnsHostname, name, &size)) {
        return name;
    }
    return "unknown";
#else
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) == 0) {
        return name;
    }
    return "unknown";
#endif
}
