// Options, job files and records that cannot mislead a line: each case is a mistake a
// production engineer makes, and the board or the record must not end up wrong in silence.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include <nlohmann/json.hpp>

#include "CliExit.h"
#include "CliProcess.h"
#include "SRecordText.h"
#include "commandline/CommandLineParser.h"
#include "records/ImageDigests.h"
#include "records/JsonText.h"

namespace {

namespace fs = std::filesystem;

const std::string f805 = Example("dsp56f805.s");
const std::string f807 = Example("dsp56f807.s");

// Runs the test's children from another folder for a while.
class InFolder {
public:
    explicit InFolder(const std::string& folder) : before_(fs::current_path()) {
        fs::current_path(folder);
    }
    ~InFolder() { fs::current_path(before_); }

private:
    fs::path before_;
};

class LineSafety : public ::testing::Test {
protected:
    // A small file of its own, so that it fits a pipe.
    std::string SmallImage(const std::string& name = "small.s") const {
        return dir.Write(name, S3Record(0x0004, {0x1111, 0x2222, 0x3333}) + "\n" +
                                   S3Record(0x201000, {0x4444}) + "\n");
    }

    ScratchDir dir;
    const std::string state = dir.File("line.state");
};

TEST_F(LineSafety, TopLevelJobOptionsReachOnlyTheCommandsThatTakeThem) {
    const std::string counter = dir.Write("ctr.txt", "1000\n");
    const std::string job = dir.Write("st.toml",
                                      "cpu = \"807\"\nserial-at = \"PFLASH:7FF0\"\n"
                                      "serial-counter = \"" + counter + "\"\nrepeat = true\n");
    const CliRun podWrite =
        RunProgram({"--config", job, "--sim-state", state, "pod-write", f807, "--json"}, "\n\n");
    EXPECT_EQ(podWrite.status, kExitSuccess) << podWrite.err;
    EXPECT_EQ(ReadText(counter), "1000\n") << "pod-write took a number";
    EXPECT_EQ(Lines(podWrite.out).size(), 1u) << "pod-write ran board after board";
    EXPECT_EQ(podWrite.out.find("\"serial\""), std::string::npos);

    const CliRun write =
        RunProgram({"--config", job, "--sim-state", state, "write-verify", f807, "--json"}, "q\n");
    EXPECT_EQ(write.status, kExitSuccess) << write.err;
    EXPECT_NE(write.out.find("\"serial\":1000,"), std::string::npos) << write.out;
    const CliRun verify = RunProgram({"--config", job, "--sim-state", state, "verify", f807,
                                      "--serial-value", "1000", "--json"},
                                     "q\n");
    EXPECT_EQ(verify.status, kExitSuccess) << verify.err;
    EXPECT_NE(verify.out.find("\"serial\":1000,"), std::string::npos) << verify.out;
    EXPECT_EQ(ReadText(counter), "1001\n") << "verify took a number";
}

TEST_F(LineSafety, NoSimulateMeansTheRealPodAndASimulatedRunSaysSo) {
    const std::string job = dir.Write("j.toml", "cpu = \"805\"\nsim-state = \"s.state\"\n");
    const CliRun real =
        RunProgram({"--config", job, "--no-simulate", "write-verify", f805, "--json"});
    EXPECT_EQ(real.status, kExitUnreachable) << real.err;
    EXPECT_EQ(real.out.find("VSIM"), std::string::npos) << real.out;
    EXPECT_FALSE(fs::exists(dir.File("s.state")));
    EXPECT_EQ(real.err.find("simulated pod"), std::string::npos) << real.err;

    const CliRun simulated = RunProgram({"--config", job, "reset"});
    EXPECT_EQ(simulated.status, kExitSuccess) << simulated.err;
    EXPECT_NE(simulated.err.find("simulated pod: no board is programmed\n"), std::string::npos)
        << simulated.err;
    EXPECT_EQ(RunProgram({"--config", job, "-q", "reset"}).err, "");
}

TEST_F(LineSafety, AnOutputNeverOverwritesAnInput) {
    const std::string firmware = dir.Write("v.s", ReadText(f805));
    fs::create_symlink(firmware, dir.File("link.s"));
    const std::string job = dir.Write("job.toml", "cpu = \"805\"\n");
    const std::string out = dir.File("out");
    const struct {
        std::vector<std::string> outputs;
        std::string says;
    } cases[] = {
        {{"--trace", firmware}, "--trace " + firmware + " is the same file as the S-record file"},
        {{"--log", dir.File("link.s")}, "is the same file as the S-record file"},
        {{"--sim-state", firmware}, "--sim-state"},
        {{"--log", job}, "is the same file as the job file"},
        {{"--trace", out, "--log", dir.File("./out")}, "is the same file as --trace"},
    };
    for (const auto& clash : cases) {
        std::vector<std::string> args = {"--config", job, "--simulate"};
        args.insert(args.end(), clash.outputs.begin(), clash.outputs.end());
        args.insert(args.end(), {"verify", firmware});
        const CliRun run = RunProgram(args);
        EXPECT_EQ(run.status, kExitInputError) << clash.outputs[1];
        EXPECT_NE(run.err.find(clash.says), std::string::npos) << run.err;
    }
    EXPECT_EQ(ReadText(firmware), ReadText(f805));
    EXPECT_EQ(ReadText(job), "cpu = \"805\"\n");
    EXPECT_FALSE(fs::exists(out));
}

// Only what the command writes can clash: list writes no log.
TEST_F(LineSafety, AFileTheCommandDoesNotWriteIsNoClash) {
    const std::string shared = dir.File("shared");
    const CliRun list = RunInProcess({"--simulate", "--trace", shared, "--log", shared, "list"});
    EXPECT_EQ(list.status, kExitSuccess) << list.err;
    EXPECT_EQ(list.out, "0\tVSIM0001\tUSB POD\tpod\n");
}

// The files the program writes beside the named ones: a lock that every station shares is
// refused as an output; a file replaced through a temporary one never takes a user's file
// for that temporary.
TEST_F(LineSafety, TheProgramsOwnSideFilesAreNoUsersFile) {
    const std::string counter = dir.Write("c.txt", "80\n");
    const std::string serial[] = {"--serial-at", "PFLASH:7FF0", "--serial-counter", counter};
    const struct {
        std::vector<std::string> outputs;
        std::string says;
    } cases[] = {
        {{"--log", counter + ".lock"},
         "the serial counter's lock " + counter + ".lock is the same file as --log " + counter +
             ".lock; each needs a file of its own"},
        {{"--trace", counter + ".lock"}, "is the same file as --trace"},
        {{"--sim-state", counter + ".lock"}, "is the same file as --sim-state"},
        {{"--sim-pods", "2", "--sim-state", dir.File("s"), "--pods", "all", "--trace",
          dir.File("s")},
         "--sim-state " + dir.File("s.VSIM0001") + " is the same file as --trace"},
    };
    for (const auto& clash : cases) {
        std::vector<std::string> args = {"--simulate"};
        args.insert(args.end(), clash.outputs.begin(), clash.outputs.end());
        args.insert(args.end(), {"write", f807, "--cpu", "807"});
        args.insert(args.end(), std::begin(serial), std::end(serial));
        const CliRun run = RunProgram(args);
        EXPECT_EQ(run.status, kExitInputError) << clash.outputs[1] << ": " << run.err;
        EXPECT_NE(run.err.find(clash.says), std::string::npos) << run.err;
    }
    EXPECT_EQ(ReadText(counter), "80\n");
    // A log or a trace named as the state's or the counter's temporary file would once be:
    // each keeps what it holds, and gets the board's line.
    const std::string kept = "{\"an\":\"earlier line\"}\n";
    const std::string state = dir.File("y");
    for (const std::string& log : {state + ".tmp", counter + ".new"}) {
        const std::string written = dir.Write(fs::path(log).filename().string(), kept);
        std::vector<std::string> args = {"--sim-state", state, "--log", written,
                                         "write",       f807,  "--cpu", "807"};
        args.insert(args.end(), std::begin(serial), std::end(serial));
        const CliRun run = RunProgram(args);
        EXPECT_EQ(run.status, kExitSuccess) << run.err;
        const std::vector<std::string> lines = Lines(ReadText(written));
        ASSERT_EQ(lines.size(), 3u) << log;  // the board's started line, then its record
        EXPECT_EQ(lines[0] + "\n", kept);
        EXPECT_NE(lines[1].find("\"status\":\"started\""), std::string::npos);
        EXPECT_NE(lines[2].find("\"status\":\"Flash Write Completed - "), std::string::npos);
    }
    EXPECT_EQ(ReadText(counter), "82\n");
    EXPECT_EQ(RunProgram({"--sim-state", state, "verify", f807, "--cpu", "807", "--serial-at",
                          "PFLASH:7FF0", "--serial-value", "81"})
                  .status,
              kExitSuccess);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.File("")), fs::directory_iterator{}), 5)
        << "c.txt, c.txt.lock, c.txt.new, y, y.tmp and nothing else";
}

// One rule: with --json, every refusal of a command that keeps records prints its record,
// whatever refused it, from the command line to an unreachable station database; with
// --pods, in an array. The listings (info, list) are no records and print none.
TEST_F(LineSafety, EveryRefusalWithJsonPrintsItsRecord) {
    const std::string write[] = {"write", f807, "--cpu", "807", "--json"};
    const struct {
        std::vector<std::string> more;
        int status;
        std::string says;
        bool array;
    } cases[] = {
        {{"--regions", "XFLASH"}, kExitInputError, "unknown region 'XFLASH'", false},
        {{"--bogus"}, kExitInputError, "unknown option '--bogus'", false},
        {{"--pods", "VSIM0001,VSIM0001"},
         kExitInputError,
         "--pods names the pod VSIM0001 twice",
         true},
        {{"--log", dir.File("no-such-folder/boards.jsonl")},
         kExitInputError,
         "cannot write the log file " + dir.File("no-such-folder/boards.jsonl"),
         false},
        {{"--sim-state", dir.File("no-such-folder/pod.state")},
         kExitInputError,
         "cannot keep the simulated pod's state in",
         false},
        {{"--station-db", "host=/nonexistent user=x dbname=y"},
         kExitUnreachable,
         "cannot connect to the station database (",
         false},
        {{"--serial-at", "P2FLASH:9000", "--serial-start", "1", "--cpu", "805"},
         kExitInputError,
         "lies outside P2FLASH of the DSP56F805",
         false},
        {{"--sim-pods", "2", "--pods", "all", "--trace", dir.File("t"), "--log",
          dir.File("t.VSIM0002")},
         kExitInputError,
         "is the same file as --trace " + dir.File("t.VSIM0002"),
         true},
    };
    for (const auto& refused : cases) {
        std::vector<std::string> args = {"--simulate"};
        args.insert(args.end(), std::begin(write), std::end(write));
        args.insert(args.end(), refused.more.begin(), refused.more.end());
        const CliRun run = RunInProcess(args);
        SCOPED_TRACE(refused.says);
        EXPECT_EQ(run.status, refused.status) << run.err;
        ASSERT_EQ(Lines(run.out).size(), 1u) << run.out;
        nlohmann::json record;
        ASSERT_NO_THROW(record = nlohmann::json::parse(run.out)) << run.out;
        if (refused.array) {
            ASSERT_TRUE(record.is_array() && record.size() == 1) << run.out;
            record = record[0];
        }
        EXPECT_EQ(record["command"], "write");
        EXPECT_EQ(record["exit"], refused.status);
        EXPECT_NE(record["status"].get<std::string>().find(refused.says), std::string::npos)
            << record["status"];
        EXPECT_NE(run.err.find(refused.says), std::string::npos) << run.err;
    }
    for (const std::vector<std::string>& listing :
         {std::vector<std::string>{"info", f807, "--cpu", "807", "--json", "--bogus"},
          std::vector<std::string>{"--simulate", "list", "--json", "--bogus"}}) {
        const CliRun run = RunInProcess(listing);
        EXPECT_EQ(run.status, kExitInputError);
        EXPECT_EQ(run.out, "");
    }
}

TEST_F(LineSafety, AnOptionNeverTakesAnotherOptionAsItsValue) {
    const InFolder here(dir.File(""));
    for (const auto& [option, next] : {std::pair{"--log", "--json"}, {"--trace", "--verbose"},
                                       {"--board-id", "-q"}}) {
        const CliRun run =
            RunProgram({"--sim-state", state, option, next, "write-verify", f807, "--cpu", "807"});
        EXPECT_EQ(run.status, kExitInputError);
        EXPECT_EQ(Lines(run.err).front(), std::string("vantix-cli: option '") + option +
                                              "' needs a value, and '" + next + "' is an option");
        EXPECT_FALSE(fs::exists(dir.File(next)));
    }
    // Whoever really means it says so.
    const CliParseResult meant = ParseCommandLine({"--log=--json", "reset"});
    EXPECT_EQ(meant.error, "");
    EXPECT_EQ(meant.global.records.logPath, "--json");
}

TEST_F(LineSafety, TheDigestIsOfTheBytesLoaded) {
    const std::string text = ReadText(SmallImage());
    Sha256Stream expected;
    expected.Add(text.data(), text.size());
    const CliRun piped = Finish(StartProgram(
        {"--sim-state", state, "write-verify", "/dev/stdin", "--cpu", "805", "--json"}, text));
    EXPECT_EQ(piped.status, kExitSuccess) << piped.err;
    EXPECT_NE(piped.out.find("\"sha256\":\"" + expected.Hex() + "\""), std::string::npos)
        << piped.out;
}

TEST_F(LineSafety, EveryRecordIsJsonWhateverTheBytes) {
    const std::string file = SmallImage("f\xff\xfe.s");
    const std::string log = dir.File("boards.jsonl");
    const CliRun run = RunProgram({"--sim-state", state, "--log", log, "--board-id",
                                   "\xff\xfe"
                                   "BAD",
                                   "write-verify", file, "--cpu", "805", "--json", "--repeat"},
                                  "PCB\xc0\xaf-2\nq\n");
    EXPECT_EQ(run.status, kExitSuccess) << run.err;
    std::vector<nlohmann::json> records;
    for (const std::string& text : {run.out, ReadText(log)}) {
        for (const std::string& line : Lines(text)) {
            ASSERT_NO_THROW(records.push_back(nlohmann::json::parse(line))) << line;
        }
    }
    ASSERT_EQ(records.size(), 4u);
    for (std::size_t i = 0; i < records.size(); i += 2) {
        EXPECT_EQ(records[i]["board"], "\xEF\xBF\xBD\xEF\xBF\xBD"
                                       "BAD");
        EXPECT_EQ(records[i]["board_hex"], "fffe424144");
        EXPECT_EQ(records[i + 1]["board_hex"], "504342c0af2d32");
        EXPECT_EQ(records[i]["file_hex"], HexBytes(file));
    }
}

TEST_F(LineSafety, JobFilePathsAreRelativeToTheJobFile) {
    fs::create_directories(dir.File("station"));
    fs::create_directories(dir.File("elsewhere"));
    const std::string job = dir.Write("station/job.toml",
                                      "cpu = \"805\"\nserial-at = \"PFLASH:7DF0\"\n"
                                      "serial-counter = \"serial.txt\"\nlog = \"boards.jsonl\"\n"
                                      "trace = \"wire.log\"\nsim-state = \"pod.state\"\n");
    dir.Write("station/serial.txt", "500\n");
    dir.Write("elsewhere/serial.txt", "9000\n");
    dir.Write("elsewhere/fw.s", ReadText(f805));
    const InFolder elsewhere(dir.File("elsewhere"));
    const CliRun run = RunProgram({"--config", job, "write-verify", "fw.s", "--json"});
    EXPECT_EQ(run.status, kExitSuccess) << run.err;
    EXPECT_EQ(ReadText(dir.File("station/serial.txt")), "501\n");
    EXPECT_EQ(ReadText(dir.File("elsewhere/serial.txt")), "9000\n");
    for (const char* made : {"station/boards.jsonl", "station/wire.log", "station/pod.state"}) {
        EXPECT_TRUE(fs::exists(dir.File(made))) << made;
    }
    const nlohmann::json record = nlohmann::json::parse(run.out);
    EXPECT_EQ(record["file"], fs::canonical(dir.File("elsewhere/fw.s")).string());
    EXPECT_EQ(record["serial"], 500);
}

TEST_F(LineSafety, SeveralPodsAndNoPodOptionIsRefused) {
    const CliRun run = RunProgram({"--sim-pods", "2", "--sim-state", state, "reset", "--json"});
    EXPECT_EQ(run.status, kExitInputError);
    EXPECT_NE(run.err.find("vantix-cli: 2 pods are attached (VSIM0001, VSIM0002); name one with "
                           "--pod SERIAL"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.out.find("\"exit\":2,\"release\":null}"), std::string::npos) << run.out;
    EXPECT_EQ(RunProgram({"--sim-pods", "2", "--sim-state", state, "--pod", "VSIM0002", "reset"})
                  .status,
              kExitSuccess);
}

TEST_F(LineSafety, APodThatVanishesUnderRepeatEndsTheRunWith3) {
    ScriptedPod scripted;
    scripted.script = [](SimulatedPod& pod) { pod.Faults().UnplugAtCall(400); };
    std::istringstream operatorInput("\n\n\n");
    CliEnvironment environment = scripted.Environment();
    environment.input = &operatorInput;
    const CliRun run = RunInProcess(
        {"--simulate", "write-verify", f807, "--cpu", "807", "--repeat", "--json"}, environment);
    EXPECT_EQ(run.status, kExitUnreachable) << run.err;
    // The board whose pod went is the last: its record says 3 and why.
    const std::vector<std::string> records = Lines(run.out);
    ASSERT_EQ(records.size(), 1u) << run.out;
    EXPECT_NE(records[0].find(": the pod was disconnected during this step\",\"seconds\":"),
              std::string::npos)
        << records[0];
    EXPECT_NE(records[0].find("\"exit\":3,\"release\":null}"), std::string::npos) << records[0];
    EXPECT_NE(run.err.find("vantix-cli: pod VSIM0001 was disconnected during this step\n"
                           "boards: 0 passed, 1 failed\n"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("Next board"), std::string::npos) << run.err;
    // One board alone ends as that board did.
    ScriptedPod single;
    single.script = [](SimulatedPod& pod) { pod.Faults().UnplugAtCall(400); };
    const CliRun once =
        RunInProcess({"--simulate", "write-verify", f807, "--cpu", "807"}, single.Environment());
    EXPECT_EQ(once.status, kExitUnreachable) << once.err;
    EXPECT_NE(once.err.find("vantix-cli: pod VSIM0001 was disconnected during this step\n"),
              std::string::npos)
        << once.err;
}

TEST_F(LineSafety, AStateFileInAMissingFolderIsRefusedBeforeThePod) {
    const std::string missing = dir.File("no-such-folder/line.state");
    const CliRun run = RunProgram({"--sim-state", missing, "write-verify", f807, "--cpu", "807"});
    EXPECT_EQ(run.status, kExitInputError);
    EXPECT_EQ(run.err, "vantix-cli: cannot keep the simulated pod's state in " + missing +
                           ": its folder does not exist\n");
}

TEST_F(LineSafety, ARefusedRunLeavesTheLastTraceAlone) {
    const std::string trace = dir.Write("wire.log", "> 02 49 03\n< 21\n");
    EXPECT_EQ(RunProgram({"--sim-pods", "2", "--sim-state", state, "--trace", trace, "reset"})
                  .status,
              kExitInputError);
    EXPECT_EQ(RunProgram({"--simulate", "--pod", "NOPE", "--trace", trace, "reset"}).status,
              kExitUnreachable);
    EXPECT_EQ(ReadText(trace), "> 02 49 03\n< 21\n");
    EXPECT_EQ(RunProgram({"--simulate", "--trace", trace, "reset"}).status, kExitSuccess);
    EXPECT_NE(ReadText(trace), "> 02 49 03\n< 21\n");
}

TEST_F(LineSafety, AnInterruptedRunSaysOnlyThatItWasInterrupted) {
    const ChildProcess child = StartProgram(
        {"--sim-state", state, "--sim-realtime", "write-verify", f807, "--cpu", "807"});
    std::string seen;
    char buffer[256];
    while (seen.find("PFLASH Erasing...") == std::string::npos) {
        const ssize_t n = read(child.err, buffer, sizeof buffer);
        ASSERT_GT(n, 0) << seen;
        seen.append(buffer, static_cast<std::size_t>(n));
    }
    kill(child.pid, SIGINT);
    const CliRun run = Finish(child);
    seen += run.err;
    EXPECT_EQ(run.status, 130);
    EXPECT_EQ(seen.find("Error"), std::string::npos) << seen;
    EXPECT_EQ(Lines(seen).back(), "vantix-cli: interrupted; the pod is closed");
}

TEST_F(LineSafety, RecordsCountTheFilesWarnings) {
    std::string bad = S3Record(0x0004, {0x1111, 0x2222});
    bad[bad.size() - 1] = bad[bad.size() - 1] == '0' ? '1' : '0';  // a wrong checksum
    const std::string doubtful = dir.Write("doubtful.s", bad + "\n" + S3Record(0x0010, {1}) + "\n");
    const CliRun warned =
        RunProgram({"--sim-state", state, "write", doubtful, "--cpu", "805", "--json"});
    EXPECT_EQ(warned.status, kExitSuccess) << warned.err;
    EXPECT_EQ(nlohmann::json::parse(warned.out)["warnings"], 1);
    const CliRun clean = RunProgram({"--sim-state", state, "reset", "--json"});
    EXPECT_EQ(nlohmann::json::parse(clean.out)["warnings"], 0);
}

TEST_F(LineSafety, MessagesNameWhatIsWrong) {
    const auto firstError = [](const CliRun& run) { return Lines(run.err).front(); };
    EXPECT_EQ(firstError(RunProgram({"--simulate", "write", f805, "--cpu", "805", "--regions", ","})),
              "vantix-cli: option '--regions' names no region: ','");
    const std::string marked = dir.Write("marked.toml", "\xEF\xBB\xBF" "cpu = \"805\"\n");
    EXPECT_EQ(RunProgram({"--config", marked, "info", f805}).status, kExitSuccess);
    const std::string open = dir.Write("open.toml", "cpu = \"807\n");
    EXPECT_EQ(firstError(RunProgram({"--config", open, "info", f807})),
              "vantix-cli: in the job file " + open +
                  ", line 1: the value of option 'cpu' opens a quote that is not closed");
    EXPECT_EQ(firstError(RunProgram({"--simulate", "write", f805, "--cpu", "805", "--serial-at",
                                     "PFLASH:7DFF", "--serial-words", "2", "--serial-start", "1"})),
              "vantix-cli: a two-word serial number at PFLASH:0x7DFF needs the word after it, "
              "0x7E00, which lies beyond the end of PFLASH (0x0004-0x7DFF)");
}

}  // namespace
