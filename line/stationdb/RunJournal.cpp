#include "stationdb/RunJournal.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "ReplacingFile.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kJournal = ".journal-";
// A journal takes its name only once it is locked; until then it is NAME.new.
constexpr const char* kUnnamed = ".new";
// An unnamed journal this old belongs to a run that died making it.
constexpr auto kUnnamedLeftBehind = std::chrono::hours(1);

std::string RandomName() {
    std::random_device random;
    char name[17];
    std::snprintf(name, sizeof name, "%08x%08x", random(), random());
    return name;
}

// Whether the open file is still the one at the path: another run may have taken it over
// and removed it since it was opened.
bool StillAtPath(int fd, const fs::path& path) {
    struct stat held {};
    struct stat named {};
    return fstat(fd, &held) == 0 && stat(path.c_str(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

bool ReadWhole(int fd, std::string& text) {
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n == 0) {
            return true;
        }
        if (n < 0 && errno != EINTR) {
            return false;
        }
        text.append(buffer, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
    }
}

// The last entry of each run, in the order the runs began: a board's record supersedes its
// started entry. A line cut short by a crash names no run and is passed over.
std::string LastEntries(const std::string& text) {
    std::vector<std::string> lines;
    std::map<std::string, std::size_t> runs;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        const nlohmann::json entry = nlohmann::json::parse(line, nullptr, false);
        if (!entry.is_object() || !entry.contains("run") || !entry["run"].is_string()) {
            continue;
        }
        const auto [run, added] = runs.try_emplace(entry["run"].get<std::string>(), lines.size());
        if (added) {
            lines.push_back(line);
        } else {
            lines[run->second] = line;
        }
    }
    std::string kept;
    for (const std::string& line : lines) {
        kept += (kept.empty() ? "" : "\n") + line;
    }
    return kept;
}

}  // namespace

RunJournal::RunJournal(std::string base) : base_(std::move(base)) {}

RunJournal::~RunJournal() {
    if (fd_ >= 0) {
        if (empty_) {
            unlink(path_.c_str());  // still locked: no other run has taken it
        }
        close(fd_);
    }
}

bool RunJournal::Create(std::string& error) {
    const std::string name = base_ + kJournal + RandomName();
    const std::string unnamed = name + kUnnamed;
    std::error_code ec;
    fs::create_directories(fs::path(name).parent_path(), ec);
    const int fd = open(unnamed.c_str(), O_RDWR | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0 || flock(fd, LOCK_EX | LOCK_NB) != 0 || rename(unnamed.c_str(), name.c_str()) != 0 ||
        !SyncFolder(fs::path(name).parent_path().string())) {
        error = "cannot make the journal " + name + ": " + std::strerror(errno);
        if (fd >= 0) {
            unlink(unnamed.c_str());
            close(fd);
        }
        return false;
    }
    fd_ = fd;
    path_ = name;
    return true;
}

bool RunJournal::Append(const std::string& line, std::string& error) {
    if (fd_ < 0 && !Create(error)) {
        return false;
    }
    const std::string whole = line + '\n';
    const ssize_t written = write(fd_, whole.data(), whole.size());
    if (written != static_cast<ssize_t>(whole.size()) || fsync(fd_) != 0) {
        error = "cannot write the journal " + path_ + ": " +
                (written < 0 || written == static_cast<ssize_t>(whole.size()) ? std::strerror(errno)
                                                                              : "short write");
        return false;
    }
    empty_ = false;
    return true;
}

void RunJournal::Clear() {
    // Should this be lost in a crash, the next run sends the record again: a run is stored
    // once, however often it is sent.
    if (fd_ >= 0 && !empty_ && ftruncate(fd_, 0) == 0) {
        empty_ = true;
    }
}

void RunJournal::Adopt(const std::string& base,
                       const std::function<bool(const std::string& lines)>& keep) {
    const fs::path folder = fs::path(base).parent_path();
    const std::string prefix = fs::path(base).filename().string() + kJournal;
    std::vector<std::pair<fs::file_time_type, fs::path>> journals;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
        if (entry.path().filename().string().rfind(prefix, 0) == 0) {
            journals.emplace_back(fs::last_write_time(entry.path(), ec), entry.path());
        }
    }
    std::sort(journals.begin(), journals.end());
    for (const auto& [written, path] : journals) {
        const bool unnamed = path.extension() == kUnnamed;
        if (unnamed && fs::file_time_type::clock::now() - written < kUnnamedLeftBehind) {
            continue;  // its run may be naming it this moment
        }
        const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        // Locked: a run at work. Gone from its place: another run has taken it over.
        std::string text;
        if (flock(fd, LOCK_EX | LOCK_NB) == 0 && StillAtPath(fd, path) && ReadWhole(fd, text)) {
            const std::string lines = unnamed ? std::string() : LastEntries(text);
            if (lines.empty() || keep(lines)) {
                unlink(path.c_str());
            }
        }
        close(fd);
    }
}
