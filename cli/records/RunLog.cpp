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

bool RunLog::IsOpen() const {
    return !path_.empty();
}

bool RunLog::Open(const std::string& path, std::string& error) {
    // Only a look: each record opens the file anew, so that a log rotated or removed
    // meanwhile carries on in a new file of its name.
    if (!Append(path, nullptr, error, &made_)) {
        return false;
    }
    path_ = path;
    return true;
}

void RunLog::Abandon() {
    std::error_code ec;
    if (made_ && std::filesystem::is_empty(Utf8Path(path_), ec) && !ec) {
        std::filesystem::remove(Utf8Path(path_), ec);
    }
    path_.clear();
    made_ = false;
}

bool RunLog::Append(const std::string& line, std::string& error) {
    made_ = false;
    const std::string whole = line + '\n';
    return Append(path_, &whole, error);
}

#ifdef _WIN32

bool RunLog::Append(const std::string& path, const std::string* text, std::string& error,
                    bool* created) {
    const std::filesystem::path file = Utf8Path(path);
    if (created != nullptr) {
        *created = !std::filesystem::exists(file);
    }
    // FILE_APPEND_DATA alone makes every write land at the end, whoever else appends.
    HANDLE handle =
        CreateFileW(file.wstring().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error =
            "cannot write the log file " + path + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    DWORD written = 0;
    const bool done = text == nullptr ||
                      (WriteFile(handle, text->data(), static_cast<DWORD>(text->size()), &written,
                                 nullptr) &&
                       written == text->size() && FlushFileBuffers(handle));
    if (!done) {
        error = "cannot write the log file " + path + " (error " + std::to_string(GetLastError()) +
                ")";
    }
    CloseHandle(handle);
    return done;
}

#else

namespace {

// A new file is there for good only once its folder's entry is on disk too.
void SyncFolderOf(const std::string& path) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

}  // namespace

bool RunLog::Append(const std::string& path, const std::string* text, std::string& error,
                    bool* made) {
    bool created = false;
    int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        created = fd >= 0;
    }
    if (fd < 0) {
        error = "cannot write the log file " + path + ": " + std::strerror(errno);
        return false;
    }
    // One write: with O_APPEND the kernel places it whole at the end of the file.
    const ssize_t written = text != nullptr ? write(fd, text->data(), text->size()) : 0;
    const bool whole = text == nullptr || written == static_cast<ssize_t>(text->size());
    const bool done = whole && (text == nullptr || fsync(fd) == 0);
    if (!done) {
        error = "cannot write the log file " + path + ": " +
                (written < 0 || whole ? std::strerror(errno) : "short write");
    }
    close(fd);
    if (created) {
        SyncFolderOf(path);
    }
    if (made != nullptr) {
        *made = created;
    }
    return done;
}

#endif

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
