#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "Clock.h"
#include "RunCli.h"
#include "commandline/CommandLineParser.h"
#include "commands/CommandList.h"
#include "sim/SimulatedD2xxLibrary.h"
#include "sim/SimulatedPod.h"
#include "TestPaths.h"

// One in-process run of the command line.
struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

inline CliRun RunInProcess(const std::vector<std::string>& args,
                           const CliEnvironment& environment = {}) {
    std::ostringstream out;
    std::ostringstream err;
    CliRun run;
    run.status = RunCli(args, out, err, environment);
    run.out = out.str();
    run.err = err.str();
    return run;
}

// The command line read as vantix-cli reads it; nothing is run.
inline CliParseResult ParseCommandLine(const std::vector<std::string>& args) {
    return CommandLineParser(CliCommands()).Parse(args);
}

inline std::string Example(const std::string& name) {
    return std::string(VANTIX_EXAMPLES_DIR) + "/" + name;
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

inline std::string ReadText(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// Waits while the file holds `text`, as a run in another process gets to change it; false only
// when it still does after ten minutes, a guard against a hang, not a budget.
inline bool WaitWhileFileHolds(const std::filesystem::path& path, const std::string& text) {
    for (int i = 0; i < 60000 && ReadText(path) == text; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return ReadText(path) != text;
}

// The operator's answers at the --repeat prompt, a line each; before the line of index k is
// read (when the station asks for board k + 2), the test's action k runs: the station's
// files change between two boards, as they do on a line.
class OperatorInput : public std::streambuf {
public:
    OperatorInput(std::vector<std::string> lines, std::map<std::size_t, std::function<void()>> actions)
        : lines_(std::move(lines)), actions_(std::move(actions)) {}

protected:
    int_type underflow() override {
        if (next_ == lines_.size()) {
            return traits_type::eof();
        }
        if (const auto action = actions_.find(next_); action != actions_.end()) {
            action->second();
        }
        current_ = lines_[next_++] + "\n";
        setg(current_.data(), current_.data(), current_.data() + current_.size());
        return traits_type::to_int_type(current_[0]);
    }

private:
    std::vector<std::string> lines_;
    std::map<std::size_t, std::function<void()>> actions_;
    std::size_t next_ = 0;
    std::string current_;
};

// A fresh folder per test, removed afterwards.
class ScratchDir {
public:
    ScratchDir() {
        static std::atomic<int> counter{0};
        path_ = std::filesystem::temp_directory_path() /
                ("vantix-cli-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    std::string Write(const std::string& name, const std::string& text) const {
        std::ofstream(path_ / name, std::ios::binary) << text;
        return File(name);
    }

private:
    std::filesystem::path path_;
};

// A simulated pod the test can script and inspect after the run; the command line gets it
// as its backend (the run must pass --simulate so that its clock is virtual). The pod
// outlives the run, its clock does not: inspect memory, logs and state, not time.
class ScriptedPod {
public:
    std::function<void(SimulatedPod&)> script;
    std::unique_ptr<SimulatedPod> pod;
    bool libraryMissing = false;

    CliEnvironment Environment() {
        CliEnvironment environment;
        environment.makeBackend = [this](const BackendOptions& options, Clock& clock) {
            auto* virtualClock = dynamic_cast<VirtualClock*>(&clock);
            if (virtualClock == nullptr) {
                throw std::logic_error("ScriptedPod needs --simulate: its pod runs in virtual time");
            }
            auto simulated = std::make_unique<SimulatedPod>(*virtualClock);
            D2xxBackend backend;
            if (!options.simStatePath.empty() && std::filesystem::exists(options.simStatePath)) {
                simulated->LoadState(options.simStatePath, &backend.error);
            }
            if (script) {
                script(*simulated);
            }
            pod = std::move(simulated);
            backend.simulatedPod = pod.get();
            auto library = std::make_unique<SimulatedD2xxLibrary>(*pod);
            library->SetMissing(libraryMissing);
            backend.library = std::move(library);
            return backend;
        };
        return environment;
    }
};
