// Runs the built vantix-cli as a separate process: what scripts and production lines see.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "CliExit.h"
#include "CliTestSupport.h"

namespace {

struct Process {
    pid_t pid = -1;
    int out = -1;
    int err = -1;
};

Process Start(const std::vector<std::string>& args) {
    int outPipe[2];
    int errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0) {
        return {};
    }
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
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
    close(outPipe[1]);
    close(errPipe[1]);
    return {pid, outPipe[0], errPipe[0]};
}

std::string ReadAll(int fd) {
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    return text;
}

int Wait(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

CliRun RunProgram(const std::vector<std::string>& args) {
    const Process process = Start(args);
    CliRun run;
    // The outputs are small; stderr first is safe because stdout fits the pipe.
    run.err = ReadAll(process.err);
    run.out = ReadAll(process.out);
    run.status = Wait(process.pid);
    return run;
}

TEST(Program, InfoOfAnExample) {
    const CliRun run = RunProgram({"info", Example("dsp56f807.s"), "--cpu", "DSP56F807"});
    EXPECT_EQ(run.status, kExitSuccess) << run.err;
    EXPECT_EQ(run.out.rfind("Memory Name  Start Address  Data Size      CRC-32\nPFLASH       0x0004",
                            0),
              0u);
    EXPECT_EQ(run.err, "");
}

TEST(Program, ExitStatusesReachTheShell) {
    EXPECT_EQ(RunProgram({"frobnicate"}).status, kExitInputError);
    EXPECT_EQ(RunProgram({"--simulate", "reset"}).status, kExitSuccess);
    EXPECT_EQ(RunProgram({"--simulate", "write", Example("dsp56f801.s"), "--cpu", "801"}).status,
              kExitInputError);
    const CliRun help = RunProgram({"write-verify", "--help"});
    EXPECT_EQ(help.status, kExitSuccess);
    EXPECT_EQ(help.out.rfind("Usage: vantix-cli write-verify FILE --cpu CPU", 0), 0u);
}

TEST(Program, CtrlCDuringAWriteClosesThePodAndExitsWith130) {
    ScratchDir dir;
    // Real-time pace, so that the write is still running when the signal comes.
    const Process process = Start({"--sim-realtime", "--trace", dir.File("t.log"), "write",
                                   Example("dsp56f807.s"), "--cpu", "807"});
    ASSERT_GT(process.pid, 0);
    std::string err;
    char buffer[256];
    while (err.find("DFLASH Writing...\n") == std::string::npos) {
        const ssize_t n = read(process.err, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        err.append(buffer, static_cast<std::size_t>(n));
    }
    ASSERT_NE(err.find("DFLASH Writing...\n"), std::string::npos) << err;
    kill(process.pid, SIGINT);
    err += ReadAll(process.err);
    ReadAll(process.out);
    EXPECT_EQ(Wait(process.pid), kExitInterrupted) << err;
    EXPECT_NE(err.find("vantix-cli: interrupted; the pod is closed\n"), std::string::npos) << err;
    EXPECT_EQ(err.find("Flash Writing is OK"), std::string::npos);
    EXPECT_EQ(err.find("BFLASH"), std::string::npos) << "the sequence stopped early";
}

}  // namespace
