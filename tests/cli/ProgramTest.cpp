// Runs the built vantix-cli as a separate process: what scripts and production lines see.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "CliExit.h"
#include "CliProcess.h"

namespace {

TEST(Program, InfoOfAnExample) {
    const CliRun run = RunProgram({"info", Example("dsp56f807.s"), "--cpu", "DSP56F807"});
    EXPECT_EQ(run.status, kExitSuccess) << run.err;
    EXPECT_EQ(
        run.out.rfind("Memory Name  Start Address  Data Size      CRC-32\nPFLASH       0x0004", 0),
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
    const ChildProcess process = StartProgram({"--sim-realtime", "--trace", dir.File("t.log"),
                                               "write", Example("dsp56f807.s"), "--cpu", "807"});
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
