// A production line fails closed: no old image that verifies after a kill, no guessed value,
// no lost record, no board started by accident, no pod shared by two stations.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <csignal>
#include <cstdlib>
#include <thread>

#include "CliExit.h"
#include "CliProcess.h"
#include "SRecordText.h"
#include "TestPaths.h"
#include "commandline/CommandLineParser.h"
#include "commands/WriteCommand.h"
#include "station/PodLock.h"

namespace {

// Reads the child's stderr until `text` has shown `times` times; returns all read so far.
bool ReadUntil(int fd, std::string& seen, const std::string& text, int times = 1) {
    char buffer[512];
    for (;;) {
        int count = 0;
        for (std::size_t at = seen.find(text); at != std::string::npos;
             at = seen.find(text, at + 1)) {
            ++count;
        }
        if (count >= times) {
            return true;
        }
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            return false;
        }
        seen.append(buffer, static_cast<std::size_t>(n));
    }
}

class FailClosed : public ::testing::Test {
protected:
    // Image B: words in DFLASH and PFLASH that the example image A does not hold.
    std::string ImageB() const {
        return dir.Write("b.s", S3Record(0x201000, std::vector<std::uint16_t>(64, 0x1234)) + "\n" +
                                    S3Record(0x0004, std::vector<std::uint16_t>(64, 0x5678)) +
                                    "\n");
    }
    std::vector<std::string> On(std::vector<std::string> args) const {
        args.insert(args.begin(), {"--sim-state", state});
        return args;
    }

    ScratchDir dir;
    const std::string state = dir.File("line.state");
    const std::string a = Example("dsp56f805.s");
};

TEST_F(FailClosed, AKilledWriteNeverLeavesTheOldImageVerifying) {
    const std::string b = ImageB();
    for (const char* point : {"DFLASH Erasing...", "PFLASH Writing...", "BFLASH Verifying..."}) {
        ASSERT_EQ(RunProgram(On({"write-verify", b, "--cpu", "805"})).status, kExitSuccess);
        const std::string before = ReadText(state);
        const ChildProcess run =
            StartProgram(On({"--sim-realtime", "write-verify", a, "--cpu", "805"}));
        std::string err;
        ASSERT_TRUE(ReadUntil(run.err, err, point)) << err;
        // The status text comes before the frames that change the board: on a busy host they
        // may not have reached the pod yet. Kill once the state file shows the first change.
        ASSERT_TRUE(WaitWhileFileHolds(state, before)) << point;
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        kill(run.pid, SIGKILL);
        // During the erase the run must still be going: a change seen only at its end would
        // be the final save, not one made as the board changed.
        const int killed = Finish(run).status;
        if (point == std::string("DFLASH Erasing...")) {
            EXPECT_EQ(killed, -1) << "the run ended before it was killed";
        }
        const CliRun verify = RunProgram(On({"verify", b, "--cpu", "805"}));
        EXPECT_EQ(verify.status, kExitFailed) << point << ": " << verify.err;
    }
}

TEST_F(FailClosed, SigtermAndSighupEndARunAsCtrlCDoes) {
    const std::string log = dir.File("boards.jsonl");
    for (const int signal : {SIGTERM, SIGHUP}) {
        const std::string trace = dir.File("wire.trace");
        const ChildProcess run = StartProgram(On({"--sim-realtime", "--log", log, "--trace", trace,
                                                  "write", a, "--cpu", "805", "--json"}));
        std::string err;
        ASSERT_TRUE(ReadUntil(run.err, err, "PFLASH Writing...")) << err;
        kill(run.pid, signal);
        const CliRun ended = Finish(run);
        const int status = 128 + signal;
        EXPECT_EQ(ended.status, status) << ended.err;
        EXPECT_NE(ended.err.find("vantix-cli: interrupted; the pod is closed\n"),
                  std::string::npos);
        const std::string tail = "\"result\":null,\"status\":\"interrupted\",\"seconds\":";
        EXPECT_NE(ended.out.find(tail), std::string::npos) << ended.out;
        EXPECT_NE(ended.out.find("\"exit\":" + std::to_string(status) + ",\"release\":null}"),
                  std::string::npos);
        const std::vector<std::string> lines = Lines(ReadText(log));
        ASSERT_FALSE(lines.empty());
        EXPECT_NE(lines.back().find(tail), std::string::npos) << lines.back();
        // The trace says the transfer was cut short, not that the device failed.
        const std::string wire = ReadText(trace);
        EXPECT_NE(wire.find(" (failed: interrupted"), std::string::npos)
            << wire.substr(wire.size() - 300);
        EXPECT_EQ(wire.find(" error"), std::string::npos) << wire.substr(wire.size() - 300);
    }
}

// Another station holds the serial counter: the run says what it waits for, and Ctrl+C,
// SIGTERM and SIGHUP end the wait at once, taking no number and touching no board.
TEST_F(FailClosed, AWaitForTheCounterIsSpokenOfAndEndsAtASignal) {
    const std::string counter = dir.Write("c.txt", "80\n");
    const std::string trace = dir.File("wire.trace");
    const int held = open((counter + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    const std::vector<std::string> args = {"--simulate",
                                           "--trace",
                                           trace,
                                           "write",
                                           a,
                                           "--cpu",
                                           "805",
                                           "--serial-at",
                                           "PFLASH:7D00",
                                           "--serial-overwrite",
                                           "--serial-counter",
                                           counter,
                                           "-q"};
    const std::string waiting =
        "waiting for the serial counter " + counter + " (locked by another process)\u2026\n";
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        const ChildProcess run = StartProgram(args);
        std::string err;
        ASSERT_TRUE(ReadUntil(run.err, err, waiting)) << err;
        kill(run.pid, signal);
        int status = 0;
        ASSERT_TRUE(WaitForExitWithin(run.pid, std::chrono::seconds(60), status));
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 128 + signal);
        err += ReadAll(run.err);
        ReadAll(run.out);
        EXPECT_EQ(err, waiting + "vantix-cli: interrupted\n") << "no pod was opened";
        EXPECT_EQ(ReadText(counter), "80\n");
        EXPECT_EQ(ReadText(trace), "") << "the board was touched";
    }
    // The lock a waiting run wins is the counter's as it now stands: one that was replaced
    // meanwhile guards nothing, and the run waits for the new one.
    const ChildProcess run = StartProgram(args);
    std::string err;
    ASSERT_TRUE(ReadUntil(run.err, err, waiting)) << err;
    ASSERT_EQ(unlink((counter + ".lock").c_str()), 0);
    const int replaced = open((counter + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_EQ(flock(replaced, LOCK_EX), 0);
    close(held);
    ASSERT_TRUE(ReadUntil(run.err, err, waiting, 2)) << err;
    EXPECT_EQ(ReadText(counter), "80\n");
    close(replaced);
    const CliRun ended = Finish(run);
    EXPECT_EQ(ended.status, kExitSuccess) << err << ended.err;
    EXPECT_EQ(ReadText(counter), "81\n");
}

TEST_F(FailClosed, EveryOptionRefusesAnEmptyValue) {
    for (const char* option : {"--pod", "--log", "--sim-pods", "--sim-state", "--trace", "--config",
                               "--sim-fill", "--board-id", "--cpu", "--regions", "--region"}) {
        const std::string expected = std::string("option '") + option + "' has an empty value";
        const CliParseResult spaced =
            ParseCommandLine({"write", "f.s", "--cpu", "805", option, ""});
        EXPECT_EQ(spaced.error, expected);
        const CliParseResult joined =
            ParseCommandLine({"write", "f.s", "--cpu", "805", std::string(option) + "="});
        EXPECT_EQ(joined.error, expected);
    }
    const std::string job = dir.Write("job.ini", "log = \"\"\n");
    EXPECT_EQ(ParseCommandLine({"--config", job, "write", "f.s", "--cpu", "805"}).error,
              "in the job file " + job + ": option 'log' has an empty value");
    const CliRun run = RunProgram({"--simulate", "--pod", "", "write", a, "--cpu", "805"});
    EXPECT_EQ(run.status, kExitInputError);
    EXPECT_EQ(run.err, "vantix-cli: option '--pod' has an empty value\nTry 'vantix-cli --help'.\n");
}

TEST_F(FailClosed, ALogThatCannotBeWrittenStopsTheLine) {
    std::istringstream operatorInput("\n\n");
    ScriptedPod scripted;
    CliEnvironment environment = scripted.Environment();
    environment.input = &operatorInput;
    const CliRun run = RunInProcess(
        {"--simulate", "write", a, "--cpu", "805", "--repeat", "--log", "/dev/full", "--json"},
        environment);
    EXPECT_EQ(run.status, kExitRecordLost);
    ASSERT_EQ(Lines(run.out).size(), 1u) << "no second board";
    EXPECT_NE(run.out.find("\"exit\":0,\"release\":null}"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("Flash Writing is OK !!!\n"), std::string::npos);
    EXPECT_NE(run.err.find("vantix-cli: the record of this board is missing from the log "
                           "/dev/full; stopping\nboards: 1 passed, 0 failed; 1 record lost\n"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("Next board"), std::string::npos);
}

// A FIFO nobody reads, as the log, the trace or the counter: refused at once with 2, the
// board untouched; a device such as /dev/null takes records without a sync it cannot do.
TEST_F(FailClosed, AFifoOrADeviceAsAnOutputNeverHangsTheStation) {
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);
    const std::string trace = dir.File("wire.trace");
    const std::vector<std::string> board = {"--simulate", "write", Example("dsp56f807.s"),
                                            "--cpu", "807"};
    for (const auto& [option, says] :
         {std::pair{"--log", "cannot write the log file " + fifo + ": it is a FIFO with no reader"},
          {"--trace", "cannot write the trace file " + fifo + " (it is a FIFO with no reader)"},
          {"--serial-counter", "the serial counter " + fifo + " is not a regular file"}}) {
        std::vector<std::string> args = board;
        args.insert(args.end(), {option, fifo});
        if (std::string(option) == "--serial-counter") {
            args.insert(args.end(), {"--serial-at", "PFLASH:7FF0", "--trace", trace});
        }
        const ChildProcess child = StartProgram(args);
        std::string err;
        const bool said = ReadUntilWithin(child.err, err, says + "\n");
        if (!said) {
            kill(child.pid, SIGKILL);
        }
        EXPECT_TRUE(said) << option << ": " << err;
        EXPECT_EQ(Finish(child).status, kExitInputError) << option;
    }
    EXPECT_EQ(ReadText(trace), "") << "the board was touched";
    if (geteuid() == 0) {
        const std::string null = dir.File("null");
        ASSERT_EQ(mknod(null.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
        std::vector<std::string> args = board;
        args.insert(args.end(), {"--log", null, "--trace", null});
        const CliRun run = RunProgram(args);
        EXPECT_EQ(run.status, kExitSuccess) << run.err;
    }
}

// The operator's terminal: what a scanner or keyboard types goes into the master side.
ChildProcess StartOnTerminal(const std::vector<std::string>& args, int& master) {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        return {};
    }
    std::vector<std::string> argv{VANTIX_CLI_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    ChildSetup setup;
    setup.inputFrom = ChildSetup::Input::Terminal;
    setup.input = ptsname(master);
    setup.outputTo = ChildSetup::Output::Pipes;
    return StartChild(argv, setup);
}

TEST_F(FailClosed, TypeAheadIsThrownAwayAndTheBoardIdIsRecorded) {
    const std::string log = dir.File("boards.jsonl");
    int master = -1;
    const ChildProcess run =
        StartOnTerminal(On({"--sim-realtime", "write", a, "--cpu", "805", "--regions", "DFLASH",
                            "--repeat", "--json", "--log", log}),
                        master);
    ASSERT_GT(run.pid, 0);
    std::string err;
    ASSERT_TRUE(ReadUntil(run.err, err, "DFLASH Writing...")) << err;
    ASSERT_EQ(write(master, "\n", 1), 1);  // an early Enter while the board is at work
    ASSERT_TRUE(ReadUntil(run.err, err, "Next board: press Enter")) << err;
    ASSERT_EQ(write(master, "BOARD-7\n", 8), 8);
    ASSERT_TRUE(ReadUntil(run.err, err, "Next board: press Enter", 2)) << err;
    ASSERT_EQ(write(master, "q\n", 2), 2);
    const CliRun ended = Finish(run);
    close(master);
    EXPECT_EQ(ended.status, kExitSuccess) << err << ended.err;
    const std::vector<std::string> records = Lines(ended.out);
    ASSERT_EQ(records.size(), 2u) << ended.out;
    EXPECT_NE(records[0].find("\"board\":null"), std::string::npos);
    EXPECT_NE(records[1].find("\"board\":\"BOARD-7\""), std::string::npos);
    EXPECT_NE(Lines(ReadText(log)).back().find("\"board\":\"BOARD-7\""), std::string::npos);

    const CliRun single = RunProgram({"--simulate", "--board-id", "SN 0042", "reset", "--json"});
    EXPECT_NE(single.out.find("\"board\":\"SN 0042\""), std::string::npos) << single.out;
}

TEST_F(FailClosed, EverySpellingOfAStateFileAndEveryEnvironmentShareOneLock) {
    std::filesystem::create_directory_symlink(std::filesystem::path(state).parent_path(),
                                              dir.File("link"));
    const std::string viaLink = dir.File("link") + "/line.state";
    const std::string key = PodLock::KeyFor("VSIM0001", &state);
    for (const std::string& spelling :
         {viaLink, dir.File(".") + "/line.state",
          std::filesystem::relative(state, std::filesystem::current_path()).string()}) {
        EXPECT_EQ(PodLock::KeyFor("VSIM0001", &spelling), key) << spelling;
    }
    unsetenv("XDG_RUNTIME_DIR");
    PodLock held;
    std::string error;
    ASSERT_EQ(held.Acquire(key, error), PodLock::Result::Locked) << error;
    setenv("XDG_RUNTIME_DIR", dir.File("").c_str(), 1);
    const CliRun busy = RunProgram({"--sim-state", viaLink, "reset"});
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(busy.status, kExitUnreachable);
    EXPECT_NE(busy.err.find("is in use by another process"), std::string::npos) << busy.err;
    held.Release();
    EXPECT_FALSE(std::filesystem::exists(PodLock::PathFor(key))) << "lock files do not pile up";

    const std::string open = dir.File("open");
    std::filesystem::create_directory(open);
    chmod(open.c_str(), 0777);
    EXPECT_NE(PodLock::UnsafeDirectoryReason(open).find("can be written by other users"),
              std::string::npos);
    chmod(open.c_str(), 01777);
    EXPECT_EQ(PodLock::UnsafeDirectoryReason(open), "");
    if (getuid() == 0) {
        ASSERT_EQ(chown(open.c_str(), 12345, 12345), 0);
        EXPECT_NE(PodLock::UnsafeDirectoryReason(open).find("belongs to another user"),
                  std::string::npos);
    }
}

// A state file that does not exist yet is still one pod, whatever its spelling: the first
// run creates it, and a second run naming it otherwise finds the pod in use.
TEST_F(FailClosed, ANewStateFileIsLockedUnderEverySpelling) {
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir.File(""));
    const std::string fresh = "new.state";
    const std::string key = PodLock::KeyFor("VSIM0001", &fresh);
    for (const std::string& spelling : {std::string("./new.state"), dir.File("new.state")}) {
        EXPECT_EQ(PodLock::KeyFor("VSIM0001", &spelling), key) << spelling;
    }
    const ChildProcess writer = StartProgram(
        {"--sim-state", fresh, "--sim-realtime", "write-verify", a, "--cpu", "805"});
    std::string seen;
    ASSERT_TRUE(ReadUntil(writer.err, seen, "Erasing...")) << seen;
    const CliRun second = RunProgram({"--sim-state", "./new.state", "verify", a, "--cpu", "805"});
    kill(writer.pid, SIGKILL);
    Finish(writer);
    std::filesystem::current_path(before);
    EXPECT_EQ(second.status, kExitUnreachable) << second.err;
    EXPECT_NE(second.err.find("pod VSIM0001 is in use by another process"), std::string::npos)
        << second.err;
}

TEST_F(FailClosed, JobFilesSayWhatIsWrong) {
    const auto errorOf = [&](const std::string& text, std::vector<std::string> more = {}) {
        const std::string job = dir.Write("job.ini", text);
        std::vector<std::string> args = {"--config", job, "write", "f.s"};
        args.insert(args.end(), more.begin(), more.end());
        const std::string error = ParseCommandLine(args).error;
        const std::string where = "in the job file " + job + ": ";
        return error.rfind(where, 0) == 0 ? error.substr(where.size()) : error;
    };
    EXPECT_EQ(errorOf("cpu = 805\ncpu = 807\n"), "option 'cpu' is given twice");
    EXPECT_EQ(errorOf("[write-verfy]\ncpu = 805\n"), "unknown section [write-verfy]");
    EXPECT_EQ(errorOf("cpu = 805\nreset-after = maybe\n"),
              "option 'reset-after' takes true or false, not 'maybe'");
    EXPECT_EQ(errorOf("cpu = 805\n[write]\njson = yes\n"),
              "option 'json' takes true or false, not 'yes'");

    // The command line switches a flag of the file off.
    const std::string job = dir.Write("on.ini", "cpu = 805\n[write]\nreset-after = true\n");
    const CliParseResult off =
        ParseCommandLine({"--config", job, "write", "f.s", "--no-reset-after"});
    ASSERT_EQ(off.error, "");
    EXPECT_FALSE(off.As<WriteOptions>()->resetAfter);
}

TEST_F(FailClosed, RecordsAgreeWithWhatWasShown) {
    const CliRun info = RunProgram({"--simulate", "pod-info", "--json"});
    EXPECT_NE(info.out.find("\"cpu\":\"DSP56F801\",\"regions\":[{\"name\":\"PFLASH\",\"start\":0,"
                            "\"end\":511,\"words\":512,\"crc32\":null}"),
              std::string::npos)
        << info.out;
    const CliRun list = RunProgram({"list", "--json"});
    EXPECT_EQ(list.status, kExitUnreachable);
    EXPECT_EQ(list.out, "[]\n");
    EXPECT_NE(RunProgram({"list", "--help"}).out.find("JSON array"), std::string::npos);
    EXPECT_NE(RunProgram({"write", "--help"}).out.find("--pod, --log, --config, --simulate"),
              std::string::npos);
}

TEST_F(FailClosed, WordsWrittenTwiceWithDifferentValuesAreWarned) {
    const std::string twice =
        dir.Write("twice.s", S3Record(0x0004, {0x1111, 0x2222}) + "\n" +
                                 S3Record(0x0004, {0x1111, 0x2222}) + "\n" +  // same data: silent
                                 S3Record(0x0005, {0x3333, 0x4444}) + "\n");
    const CliRun warned = RunProgram({"info", twice, "--cpu", "805"});
    EXPECT_EQ(warned.status, kExitSuccess);
    EXPECT_EQ(warned.err,
              "S File warnings: 2 words written more than once, 1 of them with different values "
              "(first at line 3)\n");
    const CliRun strict = RunProgram({"info", twice, "--cpu", "805", "--strict"});
    EXPECT_EQ(strict.status, kExitInputError);
    const CliRun dumped = RunInProcess({"dump", twice, "--cpu", "805"});
    EXPECT_EQ(dumped.out.rfind("0000: FFFF FFFF FFFF FFFF 1111 3333 4444 FFFF", 0), 0u)
        << "the last record wins";
}

}  // namespace
