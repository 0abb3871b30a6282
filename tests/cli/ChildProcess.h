#pragma once

// Runs the built vantix-cli as a separate process: what scripts and production lines see.

#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "CliTestSupport.h"

struct ChildProcess {
    pid_t pid = -1;
    int out = -1;
    int err = -1;
};

// Starts vantix-cli with the arguments; `input` is its whole standard input.
inline ChildProcess StartProgram(const std::vector<std::string>& args,
                                 const std::string& input = "") {
    int inPipe[2];
    int outPipe[2];
    int errPipe[2];
    if (pipe(inPipe) != 0 || pipe(outPipe) != 0 || pipe(errPipe) != 0) {
        return {};
    }
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(inPipe[0], 0);
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        close(inPipe[1]);
        close(outPipe[0]);
        close(errPipe[0]);
        std::vector<char*> argv;
        std::string program = VANTIX_CLI_PATH;
        argv.push_back(program.data());
        std::vector<std::string> copies = args;
        for (std::string& arg : copies) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(inPipe[0]);
    close(outPipe[1]);
    close(errPipe[1]);
    // Small inputs fit the pipe, so this never waits for the child.
    [[maybe_unused]] const ssize_t written = write(inPipe[1], input.data(), input.size());
    close(inPipe[1]);
    return {pid, outPipe[0], errPipe[0]};
}

inline std::string ReadAll(int fd) {
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    return text;
}

inline int Wait(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
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
