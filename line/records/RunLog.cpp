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
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "WritableNode.h"
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

// Appends `text` whole or not at all. Under the log's lock (other stations append too), a
// file whose last line was cut short gets a line end first, so the next record is not glued
// to it; a write that fails is cut back off, so no half record stays.
bool AppendWhole(int fd, std::string text, std::string& reason) {
    struct stat before {};
    const bool regular = fstat(fd, &before) == 0 && S_ISREG(before.st_mode);
    if (regular) {
        flock(fd, LOCK_EX);
        fstat(fd, &before);
        char last = '\n';
        if (before.st_size > 0 && pread(fd, &last, 1, before.st_size - 1) == 1 && last != '\n') {
            text.insert(0, 1, '\n');
        }
    }
    errno = 0;
    const ssize_t written = write(fd, text.data(), text.size());
    const bool whole = written == static_cast<ssize_t>(text.size());
    if (whole && SyncWritten(fd)) {
        return true;
    }
    reason = written < 0 || whole ? std::strerror(errno != 0 ? errno : EIO) : "short write";
    if (regular) {
        [[maybe_unused]] const int cut = ftruncate(fd, before.st_size);
    }
    return false;
}

}  // namespace

bool RunLog::Append(const std::string& path, const std::string* text, std::string& error,
                    bool* made) {
    // Read as well as written where it is a file, to see how it ends; a FIFO or a device is
    // only written, and a FIFO nobody reads is refused rather than waited on.
    struct stat status {};
    const int access = stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode) ? O_WRONLY
                                                                                    : O_RDWR;
    std::string reason;
    bool created = false;
    int fd = OpenForWriting(path, access | O_APPEND, 0, reason);
    if (fd < 0 && errno == ENOENT) {
        fd = OpenForWriting(path, access | O_APPEND | O_CREAT, 0644, reason);
        created = fd >= 0;
    }
    if (fd < 0 && errno == EACCES && access == O_RDWR) {
        fd = OpenForWriting(path, O_WRONLY | O_APPEND, 0, reason);  // may be written, not read
    }
    if (fd < 0) {
        error = "cannot write the log file " + path + ": " + reason;
        return false;
    }
    const bool done = text == nullptr || AppendWhole(fd, *text, reason);
    if (!done) {
        error = "cannot write the log file " + path + ": " + reason;
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
