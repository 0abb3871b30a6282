#include "station/StationFiles.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "BackendSelection.h"
#include "ResolvedPath.h"
#include "Utf8Path.h"
#include "sim/SimulatedPodRack.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

// Two names of one file: the same file on disk (links, hard links, other spellings), or,
// while they do not exist yet, the same place. Devices and pipes (/dev/stdout) are no files
// that could be overwritten.
bool SameFile(const std::string& a, const std::string& b) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status first = fs::status(Utf8Path(a), ec);
    const fs::file_status second = fs::status(Utf8Path(b), ec);
    if (fs::exists(first) && fs::exists(second)) {
        return fs::is_regular_file(first) && fs::is_regular_file(second) &&
               fs::equivalent(Utf8Path(a), Utf8Path(b), ec);
    }
    return !fs::exists(first) && !fs::exists(second) && ResolvedPath(a) == ResolvedPath(b);
}

std::vector<std::string> StatePaths(const RunFiles& files) {
    if (files.simState.empty()) {
        return {};
    }
    BackendOptions backend;
    backend.simStatePath = files.simState;
    backend.simPods = files.simPods;
    std::vector<std::string> paths;
    for (int n = 1; n <= std::max(files.simPods, 1); ++n) {
        paths.push_back(SimulatedStatePath(backend, SimulatedPodRack::SerialOf(n)));
    }
    return paths;
}

}  // namespace

std::string FileClash(const RunFiles& files, const std::vector<NamedFile>& alsoWritten) {
    std::vector<NamedFile> read;
    if (files.imageFile) {
        read.push_back({"the S-record file", *files.imageFile});
    }
    for (const std::string& jobFile : files.jobFiles) {
        read.push_back({"the job file", jobFile});
    }
    std::vector<NamedFile> written;
    if (!files.trace.empty()) {
        written.push_back({"--trace", files.trace});
    }
    if (!files.log.empty()) {
        written.push_back({"--log", files.log});
    }
    for (const std::string& path : StatePaths(files)) {
        written.push_back({"--sim-state", path});
    }
    if (files.serialCounter) {
        written.push_back({"--serial-counter", *files.serialCounter});
        // Every station locks the same file beside the counter: it is nobody's output.
        written.push_back(
            {"the serial counter's lock", ResolvedPath(*files.serialCounter) + ".lock"});
    }
    written.insert(written.end(), alsoWritten.begin(), alsoWritten.end());
    for (std::size_t i = 0; i < written.size(); ++i) {
        const NamedFile& output = written[i];
        for (const NamedFile& input : read) {
            if (SameFile(output.path, input.path)) {
                return output.role + " " + output.path + " is the same file as " + input.role +
                       " " + input.path + ", which it would overwrite";
            }
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (SameFile(output.path, written[j].path)) {
                return output.role + " " + output.path + " is the same file as " +
                       written[j].role + " " + written[j].path + "; each needs a file of its own";
            }
        }
    }
    return {};
}

std::string StateFolderProblem(const RunFiles& files) {
    namespace fs = std::filesystem;
    for (const std::string& path : StatePaths(files)) {
        const fs::path folder = fs::path(Utf8Path(ResolvedPath(path))).parent_path();
        std::error_code ec;
        if (!fs::is_directory(folder, ec)) {
            return "cannot keep the simulated pod's state in " + path + ": its folder " +
                   (fs::exists(folder, ec) ? "is not a folder" : "does not exist");
        }
#ifndef _WIN32
        if (access(folder.c_str(), W_OK) != 0) {
            return "cannot keep the simulated pod's state in " + path +
                   ": its folder may not be written";
        }
#endif
    }
    return {};
}
