// Every output the program writes, when it cannot be written in full: on a full disk (a small
// tmpfs, mounted here), on /dev/full, or down a pipe whose reader has gone. Each is an error
// that names the file and the system's reason, with the exit status the board earned, and no
// temporary file stays behind.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>

#include "CliExit.h"
#include "CliProcess.h"

namespace {

namespace fs = std::filesystem;

const std::string f807 = Example("dsp56f807.s");
const std::string kFull = "No space left on device";

// The names in a folder.
std::set<std::string> Names(const std::string& folder) {
    std::set<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// vantix-cli with its standard output on /dev/full.
CliRun RunIntoDevFull(const std::vector<std::string>& args) {
    std::vector<std::string> argv{VANTIX_CLI_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    ChildSetup setup;
    setup.inputFrom = ChildSetup::Input::Text;
    setup.outputTo = ChildSetup::Output::Pipes;
    setup.beforeExec = [] {
        const int full = open("/dev/full", O_WRONLY);
        if (full < 0 || dup2(full, 1) < 0) {
            _exit(126);
        }
    };
    return Finish(StartChild(argv, setup));
}

class FullDisk : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(disk);
        if (geteuid() != 0) {
            GTEST_SKIP() << "a 64 KiB tmpfs is mounted only as root; not root here, so the "
                            "full-disk cases are not run";
        }
        if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0) {
            GTEST_SKIP() << "a 64 KiB tmpfs cannot be mounted here (" << std::strerror(errno)
                         << "), so the full-disk cases are not run";
        }
        mounted_ = true;
    }
    void TearDown() override {
        if (mounted_) {
            umount2(disk.c_str(), MNT_DETACH);
        }
    }
    // Takes every block the tmpfs has left.
    void FillDisk() const {
        const int fd = open((disk + "/filler").c_str(), O_WRONLY | O_CREAT, 0644);
        const std::string block(4096, 'x');
        while (write(fd, block.data(), block.size()) > 0) {
        }
        close(fd);
    }

    ScratchDir dir;
    const std::string disk = dir.File("disk");

private:
    bool mounted_ = false;
};

TEST_F(FullDisk, ATraceCutShortEndsTheRunWith4AndStopsTheLine) {
    const std::string trace = disk + "/wire.trace";
    const std::string log = dir.File("boards.jsonl");
    const CliRun run = RunProgram({"--simulate", "--trace", trace, "--log", log, "write-verify",
                                   f807, "--cpu", "807", "--repeat", "--json"},
                                  "\n\n");
    EXPECT_EQ(run.status, kExitRecordLost) << run.err;
    EXPECT_NE(run.err.find("vantix-cli: cannot write the trace file " + trace + " (" + kFull +
                           "); the trace of this board is incomplete\n"),
              std::string::npos)
        << run.err;
    // One board, whose record says how the board ended (the run's 4 is its trace's); the
    // trace ends with a whole line.
    EXPECT_EQ(Lines(run.out).size(), 1u) << run.out;
    EXPECT_NE(run.out.find("\"status\":\"Flash Write && Verify Completed - "), std::string::npos);
    EXPECT_NE(run.out.find("\"exit\":0,\"release\":null}"), std::string::npos) << run.out;
    EXPECT_EQ(Lines(ReadText(log)).size(), 1u);
    EXPECT_NE(ReadText(log).find("\"exit\":0,"), std::string::npos) << ReadText(log);
    const std::string wire = ReadText(trace);
    ASSERT_FALSE(wire.empty());
    EXPECT_EQ(wire.back(), '\n');
}

TEST_F(FullDisk, AStateThatCannotBeSavedFailsTheBoardItHolds) {
    const std::string state = disk + "/pod.state";
    const CliRun run = RunProgram(
        {"--sim-state", state, "write", f807, "--cpu", "807", "--repeat", "--json"}, "\n\n");
    const std::string failure = "cannot save the simulated pod's state to " + state + ": " + kFull;
    EXPECT_EQ(run.status, kExitFailed) << run.err;
    EXPECT_NE(run.err.find("vantix-cli: " + failure + "\n"), std::string::npos) << run.err;
    EXPECT_EQ(Lines(run.out).size(), 1u) << "no board after it: " << run.out;
    EXPECT_NE(run.out.find("\"result\":null,\"status\":\"" + failure + "\",\"seconds\":"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\"exit\":1,\"release\":null}"), std::string::npos) << run.out;
    EXPECT_TRUE(Names(disk).empty()) << "no temporary state left behind";
}

TEST_F(FullDisk, ACounterThatCannotBeWrittenTakesNoNumberAndTouchesNoBoard) {
    const std::string counter = disk + "/serial.txt";
    std::ofstream(counter) << "1000\n";
    FillDisk();
    const std::string trace = dir.File("wire.trace");
    const CliRun run = RunProgram({"--simulate", "--trace", trace, "write", f807, "--cpu", "807",
                                   "--serial-at", "PFLASH:7FF0", "--serial-counter", counter});
    EXPECT_EQ(run.status, kExitInputError) << run.err;
    EXPECT_NE(run.err.find("vantix-cli: cannot write the serial counter " + counter + ": " + kFull +
                           "\n"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(ReadText(counter), "1000\n");
    EXPECT_EQ(Names(disk), (std::set<std::string>{"filler", "serial.txt", "serial.txt.lock"}));
    EXPECT_EQ(ReadText(trace), "") << "the board was touched";
}

// A record that reaches the log only in part is cut back off; a log whose last line was cut
// short (by another writer) gets a line end before the next record.
TEST_F(FullDisk, ALogNeverKeepsHalfARecordNorGluesOneToAnother) {
    const std::string log = disk + "/boards.jsonl";
    // Four bytes short of a whole page: the next record gets a few bytes in, then none.
    const std::string before = std::string(4091, 'x') + "\n";
    std::ofstream(log) << before;
    FillDisk();
    const CliRun cut = RunProgram({"--simulate", "--log", log, "write", f807, "--cpu", "807"});
    EXPECT_EQ(cut.status, kExitRecordLost) << cut.err;
    EXPECT_EQ(ReadText(log), before);

    const std::string other = dir.Write("other.jsonl", "{\"time\":\"2026-12-07T09:4");
    ASSERT_EQ(RunProgram({"--simulate", "--log", other, "write", f807, "--cpu", "807"}).status,
              kExitSuccess);
    const std::vector<std::string> lines = Lines(ReadText(other));
    ASSERT_EQ(lines.size(), 2u) << ReadText(other);
    EXPECT_EQ(lines[0], "{\"time\":\"2026-12-07T09:4");
    EXPECT_NE(lines[1].find("\"exit\":0,"), std::string::npos) << lines[1];
}

TEST_F(FullDisk, AReportThatCannotBeWrittenLeavesTheLastOne) {
    const std::string log = dir.File("boards.jsonl");
    ASSERT_EQ(RunProgram({"--simulate", "--log", log, "write", f807, "--cpu", "807"}).status,
              kExitSuccess);
    const std::string csv = disk + "/boards.csv";
    std::ofstream(csv) << "the last report\n";
    FillDisk();
    const CliRun run = RunProgram({"report", "--log", log, "--csv", csv});
    EXPECT_EQ(run.status, kExitInputError) << run.err;
    EXPECT_NE(run.err.find("vantix-cli: cannot write the report " + csv + " (" + kFull + ")\n"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(ReadText(csv), "the last report\n");
    EXPECT_EQ(Names(disk), (std::set<std::string>{"boards.csv", "filler"}));
}

// A report named by a device, a FIFO or a link: the device is written where it stands (and a
// full one is an error), the link leads to the file that is replaced. The nodes are made here,
// never the system's own.
TEST(ReportOnANode, DevicesAreWrittenInPlaceAndLinksFollowed) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "device nodes are made only as root";
    }
    ScratchDir dir;
    const std::string log = dir.File("boards.jsonl");
    ASSERT_EQ(RunProgram({"--simulate", "--log", log, "write", f807, "--cpu", "807"}).status,
              kExitSuccess);
    const std::string full = dir.File("full");
    const std::string null = dir.File("null");
    ASSERT_EQ(mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)), 0);
    ASSERT_EQ(mknod(null.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
    const CliRun onFull = RunProgram({"report", "--log", log, "--csv", full});
    EXPECT_EQ(onFull.status, kExitInputError) << onFull.err;
    EXPECT_EQ(onFull.err, "vantix-cli: cannot write the report " + full + " (" + kFull + ")\n");
    const CliRun onNull = RunProgram({"report", "--log", log, "--html", null});
    EXPECT_EQ(onNull.status, kExitSuccess) << onNull.err;
    for (const std::string& node : {full, null}) {
        EXPECT_TRUE(fs::is_character_file(node)) << node << " was replaced";
    }
    const std::string target = dir.Write("boards.csv", "the last report\n");
    const std::string link = dir.File("latest.csv");
    fs::create_symlink(target, link);
    ASSERT_EQ(RunProgram({"report", "--log", log, "--csv", link}).status, kExitSuccess);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadText(target).rfind("board,serial,", 0), 0u) << ReadText(target);

    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);
    const CliRun noReader = RunProgram({"report", "--log", log, "--csv", fifo});
    EXPECT_EQ(noReader.status, kExitInputError);
    EXPECT_EQ(noReader.err, "vantix-cli: cannot write the report " + fifo +
                                " (it is a FIFO with no reader)\n");

    // Its standard output, a pipe, by a link to it as /dev/stdout is one: written through the
    // link, never replacing it.
    const std::string stdoutLink = dir.File("stdout");
    fs::create_symlink("/proc/self/fd/1", stdoutLink);
    ChildSetup setup;
    setup.inputFrom = ChildSetup::Input::Text;
    setup.outputTo = ChildSetup::Output::Pipes;
    const CliRun toStdout =
        Finish(StartChild({VANTIX_CLI_PATH, "report", "--log", log, "--csv", stdoutLink}, setup));
    EXPECT_EQ(toStdout.status, kExitSuccess) << toStdout.err;
    EXPECT_EQ(toStdout.out.rfind("board,serial,", 0), 0u) << toStdout.out;
}

// What goes to stdout, on /dev/full: nothing touched ends with 2, a board that ran with 4.
TEST(OutputOnDevFull, EveryStdoutOutputIsChecked) {
    const std::string failure =
        "vantix-cli: cannot write the standard output (/dev/full): " + kFull + "\n";
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"info", f807, "--cpu", "807", "--json"},
          std::vector<std::string>{"info", f807, "--cpu", "807"},
          std::vector<std::string>{"dump", f807, "--cpu", "807"},
          std::vector<std::string>{"--sim-pods", "2", "list"},
          std::vector<std::string>{"--help"}}) {
        const CliRun run = RunIntoDevFull(args);
        EXPECT_EQ(run.status, kExitInputError) << args.front() << ": " << run.err;
        EXPECT_NE(run.err.find(failure), std::string::npos) << args.front() << ": " << run.err;
    }
    ScratchDir dir;
    const std::string log = dir.File("boards.jsonl");
    const CliRun write = RunIntoDevFull(
        {"--simulate", "--log", log, "write", f807, "--cpu", "807", "--json", "--repeat"});
    EXPECT_EQ(write.status, kExitRecordLost) << write.err;
    EXPECT_NE(write.err.find(failure), std::string::npos) << write.err;
    EXPECT_EQ(write.err.find("Next board"), std::string::npos) << write.err;
    EXPECT_EQ(Lines(ReadText(log)).size(), 1u);
}

// A reader that goes away between two boards: the next board never starts.
TEST(OutputOnAClosedPipe, NoBoardStartsOnceItsReaderHasGone) {
    ScratchDir dir;
    const std::string log = dir.File("boards.jsonl");
    int output[2];
    int input[2];
    ASSERT_EQ(pipe(output), 0);
    ASSERT_EQ(pipe(input), 0);
    ChildSetup setup;
    setup.outputTo = ChildSetup::Output::Files;
    setup.outFile = dir.File("out");
    setup.errFile = dir.File("err");
    setup.beforeExec = [&] {
        if (dup2(output[1], 1) < 0 || dup2(input[0], 0) < 0) {
            _exit(126);
        }
        close(output[0]);
        close(input[1]);
    };
    const ChildProcess child = StartChild({VANTIX_CLI_PATH, "--simulate", "--log", log, "write",
                                           f807, "--cpu", "807", "--repeat", "--json"},
                                          setup);
    close(output[1]);
    close(input[0]);
    // The first board's record arrives; then its reader goes, and the operator asks for more.
    std::string first;
    for (char c = 0; c != '\n' && read(output[0], &c, 1) == 1;) {
        first += c;
    }
    EXPECT_NE(first.find("\"exit\":0,\"release\":null}"), std::string::npos) << first;
    close(output[0]);
    ASSERT_EQ(write(input[1], "\n\n", 2), 2);
    close(input[1]);
    EXPECT_EQ(Wait(child.pid), kExitRecordLost) << ReadText(dir.File("err"));
    EXPECT_EQ(Lines(ReadText(log)).size(), 1u) << ReadText(log);
    EXPECT_NE(ReadText(dir.File("err"))
                  .find("vantix-cli: the standard output is closed (its "
                        "reader has gone); no board starts\n"),
              std::string::npos)
        << ReadText(dir.File("err"));
}

}  // namespace
