#include "stationdb/RecordSpool.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "stationdb/RunJournal.h"

namespace {

std::string StateFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') {
        return std::string(state) + "/vantix";
    }
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : ".") + "/.local/state/vantix";
}

// 64-bit FNV-1a, as hex: names the database's spool without showing its name.
std::string HashText(const std::string& text) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const unsigned char c : text) {
        hash = (hash ^ c) * 1099511628211ull;
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return hex;
}

bool SyncFolder(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_CLOEXEC);
    const bool synced = fd >= 0 && fsync(fd) == 0;
    if (fd >= 0) {
        close(fd);
    }
    return synced;
}

// How long the spool's lock may be busy before the wait is worth a word: another run that
// appends a record holds it for a moment, one that sends thousands for a minute.
constexpr int kSilentWaitMs = 1000;
constexpr int kLockPollMs = 20;

// The spool's lock, held while it lives. A wait past a moment says what it waits for.
class SpoolLock {
public:
    SpoolLock(const std::string& path, const std::string& spool,
              const std::function<void(const std::string&)>& waiting)
        : fd_(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        for (int waited = 0; fd_ >= 0 && flock(fd_, LOCK_EX | LOCK_NB) != 0;) {
            if (errno == EWOULDBLOCK && waited < kSilentWaitMs) {
                usleep(kLockPollMs * 1000);
                waited += kLockPollMs;
                continue;
            }
            if (errno == EWOULDBLOCK && waiting) {
                waiting("waiting for the spool file " + spool + " (locked by another process)…");
            }
            while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
            break;
        }
    }
    ~SpoolLock() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    SpoolLock(const SpoolLock&) = delete;
    SpoolLock& operator=(const SpoolLock&) = delete;
    bool Held() const { return fd_ >= 0; }

private:
    int fd_;
};

}  // namespace

RecordSpool::RecordSpool(const std::string& database)
    : folder_(StateFolder()), base_(folder_ + "/station-db-" + HashText(database)) {
    path_ = base_ + ".jsonl";
    lockPath_ = base_ + ".lock";
}

bool RecordSpool::Ready(std::string& error) const {
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    if (ec || access(folder_.c_str(), W_OK) != 0) {
        error = "cannot keep the station's records in " + folder_ + ": " +
                (ec ? ec.message() : std::string(std::strerror(errno)));
        return false;
    }
    return true;
}

bool RecordSpool::Append(const std::string& line, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    const SpoolLock lock(lockPath_, path_, waiting_);
    return Write(lock.Held(), line, error);
}

bool RecordSpool::Write(bool locked, const std::string& line, std::string& error) {
    const int fd = locked ? open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600)
                          : -1;
    const std::string whole = line + '\n';
    const bool written = fd >= 0 &&
                         write(fd, whole.data(), whole.size()) == static_cast<ssize_t>(whole.size()) &&
                         fsync(fd) == 0;
    error = written ? "" : "cannot write the spool file " + path_ + ": " + std::strerror(errno);
    if (fd >= 0) {
        close(fd);
    }
    return written && SyncFolder(folder_);
}

bool RecordSpool::Drain(const std::function<Sent(const std::string&)>& send, int& stored,
                        int& kept, std::string& error) {
    stored = 0;
    kept = 0;
    std::error_code ec;
    if (!std::filesystem::exists(folder_, ec)) {
        return true;
    }
    const SpoolLock lock(lockPath_, path_, waiting_);
    // What the runs of ended processes left in their journals joins the spool first.
    bool adopted = true;
    if (lock.Held()) {
        RunJournal::Adopt(base_, [&](const std::string& lines) {
            return adopted = adopted && Write(true, lines, error);
        });
    }
    if (!adopted) {
        return false;
    }
    if (lock.Held() && !std::filesystem::exists(path_, ec)) {
        return true;  // nothing spooled, or a run that held the lock meanwhile sent it all
    }
    std::ifstream file(path_, std::ios::binary);
    if (!lock.Held() || !file) {
        error = "cannot read the spool file " + path_ + ": " + std::strerror(errno);
        return false;
    }
    std::string left;
    int gone = 0;
    bool stopped = false;
    for (std::string line; std::getline(file, line);) {
        if (line.empty()) {
            continue;
        }
        const Sent sent = stopped ? Sent::Stop : send(line);
        stopped = sent == Sent::Stop;
        stored += sent == Sent::Stored ? 1 : 0;
        kept += sent == Sent::Kept ? 1 : 0;
        gone += sent == Sent::Gone ? 1 : 0;
        left += sent == Sent::Stored || sent == Sent::Gone ? "" : line + '\n';
    }
    return stored + gone == 0 || Rewrite(left, error);
}

bool RecordSpool::Rewrite(const std::string& lines, std::string& error) const {
    // The spool is replaced whole, so that a crash leaves either the old or the new one.
    const std::string temporary = path_ + ".new";
    bool done = lines.empty() ? std::remove(path_.c_str()) == 0 : false;
    if (!lines.empty()) {
        const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        done = fd >= 0 &&
               write(fd, lines.data(), lines.size()) == static_cast<ssize_t>(lines.size()) &&
               fsync(fd) == 0;
        if (fd >= 0) {
            close(fd);
        }
        done = done && std::rename(temporary.c_str(), path_.c_str()) == 0;
    }
    if (!done || !SyncFolder(folder_)) {
        error = "cannot rewrite the spool file " + path_ + ": " + std::strerror(errno);
        return false;
    }
    return true;
}
