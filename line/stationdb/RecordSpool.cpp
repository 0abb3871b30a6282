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
#include <sys/stat.h>
#include <unistd.h>

#include "ReplacingFile.h"
#include "station/FileLock.h"
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

// The spool's lock, held while it lives; waited for as the notice says.
class SpoolLock {
public:
    SpoolLock(const std::string& path, const std::string& spool, const WaitNotice& notice) {
        FileLock::Way way;
        way.wait = true;
        way.ownerOnly = true;
        way.notice = &notice;
        way.waitingFor = "the spool file " + spool + " (locked by another process)";
        result_ = lock_.Acquire(path, way);
    }
    bool Held() const { return result_ == FileLock::Result::Locked; }
    bool Interrupted() const { return result_ == FileLock::Result::Interrupted; }

private:
    FileLock lock_;
    FileLock::Result result_ = FileLock::Result::Failed;
};

}  // namespace

RecordSpool::RecordSpool(const std::string& database, WaitNotice notice)
    : folder_(StateFolder()),
      base_(folder_ + "/station-db-" + HashText(database)),
      notice_(std::move(notice)) {
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
    WaitNotice patient = notice_;
    patient.interrupted = nullptr;
    const SpoolLock lock(lockPath_, path_, patient);
    return Write(lock.Held(), line, error);
}

bool RecordSpool::Write(bool locked, const std::string& line, std::string& error) {
    int fd = locked ? open(path_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC) : -1;
    const bool created = locked && fd < 0 && errno == ENOENT;
    if (created) {
        fd = open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    }
    struct stat before {};
    const bool sized = fd >= 0 && fstat(fd, &before) == 0;
    const std::string whole = line + '\n';
    if (sized) {
        errno = 0;  // a short write sets none
    }
    const ssize_t written = sized ? write(fd, whole.data(), whole.size()) : -1;
    bool stored = written == static_cast<ssize_t>(whole.size()) && fsync(fd) == 0;
    const int code = errno != 0 ? errno : ENOSPC;
    if (!stored && sized) {
        // Half a record would spoil every later send: the spool goes back to what it held.
        [[maybe_unused]] const int truncated = ftruncate(fd, before.st_size);
        if (created) {
            unlink(path_.c_str());  // made for this record alone: no empty spool stays
        }
    }
    if (fd >= 0) {
        close(fd);
    }
    stored = stored && SyncFolder(folder_);
    error = stored ? "" : "cannot write the spool file " + path_ + ": " + std::strerror(code);
    return stored;
}

bool RecordSpool::Drain(const std::function<Sent(const std::string&)>& send, int& stored,
                        int& kept, std::string& error) {
    stored = 0;
    kept = 0;
    std::error_code ec;
    if (!std::filesystem::exists(folder_, ec)) {
        return true;
    }
    const SpoolLock lock(lockPath_, path_, notice_);
    if (lock.Interrupted()) {
        error = "interrupted while waiting for the spool file " + path_;
        return false;
    }
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
    std::string reason;
    const bool done = lines.empty() ? std::remove(path_.c_str()) == 0 && SyncFolder(folder_)
                                    : ReplaceWholeFile(path_, lines, reason);
    if (!done) {
        error = "cannot rewrite the spool file " + path_ + ": " +
                (reason.empty() ? std::string(std::strerror(errno)) : reason);
        return false;
    }
    return true;
}
