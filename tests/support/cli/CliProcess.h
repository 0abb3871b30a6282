#pragma once

// Runs the built vantix-cli as a separate process: what scripts and production lines see.

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "CliTestSupport.h"
#include "TestPaths.h"

// Starts vantix-cli with the arguments; `input` is its whole standard input.
inline ChildProcess StartProgram(const std::vector<std::string>& args,
                                 const std::string& input = "") {
    std::vector<std::string> argv{VANTIX_CLI_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    ChildSetup setup;
    setup.inputFrom = ChildSetup::Input::Text;
    setup.input = input;
    setup.outputTo = ChildSetup::Output::Pipes;
    return StartChild(argv, setup);
}

// The exit status of an ended child, -1 when a signal ended it.
inline int Wait(pid_t pid) {
    const int status = WaitForExit(pid);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Waits for a started child; the outputs must be small (stderr is read first).
inline CliRun Finish(const ChildProcess& process) {
    CliRun run;
    run.err = ReadAll(process.err);
    run.out = ReadAll(process.out);
    run.status = Wait(process.pid);
    return run;
}

inline CliRun RunProgram(const std::vector<std::string>& args, const std::string& input = "") {
    return Finish(StartProgram(args, input));
}

// Reads a child's output until `text` shows; false when the stream ends first, or when the
// child has said nothing new for `silence` (a hang guard, far beyond any idle wait).
inline bool ReadUntilWithin(int fd, std::string& seen, const std::string& text,
                            std::chrono::milliseconds silence = std::chrono::seconds(60)) {
    char buffer[512];
    while (seen.find(text) == std::string::npos) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, static_cast<int>(silence.count())) <= 0) {
            return false;
        }
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            return false;
        }
        seen.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
}
