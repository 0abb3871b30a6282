// Several pods on one host, each station on its own pod, and a record of every board.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <regex>
#include <sstream>

#include <csignal>
#include <set>

#include <nlohmann/json.hpp>

#include "CliExit.h"
#include "CliProcess.h"
#include "station/PodLock.h"

namespace {

class ProductionLine : public ::testing::Test {
protected:
    // A command on one of two simulated pods whose states live beside each other.
    std::vector<std::string> OnPod(const std::string& serial, const char* command,
                                   std::vector<std::string> more = {}) const {
        std::vector<std::string> args = {
            "--sim-pods", "2",     "--sim-state",          state,   "--pod",
            serial,       command, Example("dsp56f807.s"), "--cpu", "807"};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }

    ScratchDir dir;
    const std::string state = dir.File("line.state");
};

TEST_F(ProductionLine, TwoStationsWorkOnTwoPodsAtOnce) {
    const ChildProcess first = StartProgram(OnPod("VSIM0001", "write-verify", {"--json"}));
    const ChildProcess second = StartProgram(OnPod("VSIM0002", "write-verify", {"--json"}));
    const CliRun one = Finish(first);
    const CliRun two = Finish(second);
    ASSERT_EQ(one.status, kExitSuccess) << one.err;
    ASSERT_EQ(two.status, kExitSuccess) << two.err;
    EXPECT_NE(one.out.find("\"pod\":\"VSIM0001\""), std::string::npos) << one.out;
    EXPECT_NE(two.out.find("\"pod\":\"VSIM0002\""), std::string::npos) << two.out;
    // Each pod kept its own board: both verify in later runs.
    EXPECT_EQ(RunProgram(OnPod("VSIM0001", "verify")).status, kExitSuccess);
    EXPECT_EQ(RunProgram(OnPod("VSIM0002", "verify")).status, kExitSuccess);
}

TEST_F(ProductionLine, APodInUseOrNotAttachedIsUnreachable) {
    PodLock other;
    std::string error;
    ASSERT_EQ(other.Acquire(PodLock::KeyFor("VSIM0001", &state), error), PodLock::Result::Locked)
        << error;
    const CliRun busy = RunProgram(OnPod("VSIM0001", "write"));
    EXPECT_EQ(busy.status, kExitUnreachable);
    EXPECT_EQ(busy.err,
              "Reading S File is OK !!!\nsimulated pod: no board is programmed\n"
              "vantix-cli: pod VSIM0001 is in use by another process\n");
    EXPECT_EQ(RunProgram(OnPod("VSIM0002", "write")).status, kExitSuccess);
    other.Release();

    // A station that died holding the pod never blocks it.
    const pid_t dead = fork();
    if (dead == 0) {
        PodLock held;
        std::string ignored;
        _exit(held.Acquire(PodLock::KeyFor("VSIM0001", &state), ignored) == PodLock::Result::Locked
                  ? 0
                  : 1);
    }
    ASSERT_EQ(Wait(dead), 0);
    EXPECT_EQ(RunProgram(OnPod("VSIM0001", "write")).status, kExitSuccess);

    const CliRun unknown = RunProgram(OnPod("VSIM0009", "write"));
    EXPECT_EQ(unknown.status, kExitUnreachable);
    EXPECT_EQ(unknown.err,
              "Reading S File is OK !!!\nsimulated pod: no board is programmed\n"
              "vantix-cli: no pod with serial number VSIM0009 is attached; attached pods: "
              "VSIM0001, VSIM0002\n");
}

TEST_F(ProductionLine, FailedWriteLeavesItsRecord) {
    ScriptedPod scripted;
    scripted.script = [](SimulatedPod& pod) { pod.Faults().SilenceReply('W', 1); };
    const std::string file = Example("dsp56f807.s");
    const CliRun run = RunInProcess(
        {"--simulate", "write", file, "--cpu", "807", "--regions", "PFLASH,DFLASH", "--json"},
        scripted.Environment());
    EXPECT_EQ(run.status, kExitFailed);
    const std::regex record(
        "\\{\"command\":\"write\",\"file\":\"" + file +
        "\",\"sha256\":\"[0-9a-f]{64}\",\"warnings\":0,\"cpu\":\"DSP56F807\",\"regions\":\\["
        "\\{\"name\":\"PFLASH\",\"start\":4,\"end\":32639,\"words\":32636,\"crc32\":\"899af126\"\\}"
        ","
        "\\{\"name\":\"DFLASH\",\"start\":8192,\"end\":8767,\"words\":576,\"crc32\":\"e2e0b125\"\\}"
        "\\],\"pod\":\"VSIM0001\",\"board\":null,\"result\":13,\"status\":\"DFLASH Write Error\","
        "\"seconds\":[0-9]+\\.[0-9]{3},\"exit\":1,\"release\":null\\}\n");
    EXPECT_TRUE(std::regex_match(run.out, record)) << run.out;
}

TEST_F(ProductionLine, RepeatedBoardsAndTwoStationsShareOneLog) {
    const std::string log = dir.File("boards.jsonl");
    std::istringstream operatorInput("\n\nq\n");
    ScriptedPod scripted;
    CliEnvironment environment = scripted.Environment();
    environment.input = &operatorInput;
    const CliRun repeated = RunInProcess(
        {"--simulate", "write", Example("dsp56f807.s"), "--cpu", "807", "--repeat", "--log", log},
        environment);
    EXPECT_EQ(repeated.status, kExitSuccess) << repeated.err;
    EXPECT_NE(repeated.err.find("boards: 3 passed, 0 failed\n"), std::string::npos) << repeated.err;

    // Two stations append 20 boards each at the same time.
    const std::string nineteenEnters(19, '\n');
    const ChildProcess first =
        StartProgram(OnPod("VSIM0001", "write", {"--repeat", "--log", log}), nineteenEnters);
    const ChildProcess second =
        StartProgram(OnPod("VSIM0002", "write", {"--repeat", "--log", log}), nineteenEnters);
    EXPECT_EQ(Finish(first).status, kExitSuccess);
    EXPECT_EQ(Finish(second).status, kExitSuccess);

    const std::regex line(
        "\\{\"time\":\"[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9:]{8}\\.[0-9]{3}Z\",\"host\":\"[^\"]*\","
        "\"command\":\"write\",[^\\n]*\"exit\":0,\"run\":\"[0-9a-f-]{36}\",\"release\":null\\}");
    const std::vector<std::string> lines = Lines(ReadText(log));
    EXPECT_EQ(lines.size(), 43u);
    for (const std::string& text : lines) {
        EXPECT_TRUE(std::regex_match(text, line)) << text;
    }
}

TEST_F(ProductionLine, ALogRotatedOrRemovedDuringRepeatGoesOnInANewFile) {
    std::filesystem::create_directories(dir.File("logs"));
    const std::string log = dir.File("logs/boards.jsonl");
    // Three boards; before the second, the log is moved away (as logrotate does), removed,
    // or taken away with its folder.
    const auto run = [&](const std::function<void()>& between) {
        OperatorInput answers({"", ""}, {{0, between}});
        std::istream input(&answers);
        ScriptedPod scripted;
        CliEnvironment environment = scripted.Environment();
        environment.input = &input;
        return RunInProcess({"--simulate", "--log", log, "write", Example("dsp56f807.s"), "--cpu",
                             "807", "--regions", "DFLASH", "--repeat"},
                            environment);
    };
    const CliRun rotated = run([&] { std::filesystem::rename(log, log + ".1"); });
    EXPECT_EQ(rotated.status, kExitSuccess) << rotated.err;
    EXPECT_EQ(Lines(ReadText(log + ".1")).size(), 1u);
    EXPECT_EQ(Lines(ReadText(log)).size(), 2u);

    const CliRun removed = run([&] { std::filesystem::remove(log); });
    EXPECT_EQ(removed.status, kExitSuccess) << removed.err;
    EXPECT_EQ(Lines(ReadText(log)).size(), 2u);

    const CliRun gone = run([&] { std::filesystem::remove_all(dir.File("logs")); });
    EXPECT_EQ(gone.status, kExitRecordLost) << gone.err;
    EXPECT_NE(gone.err.find("vantix-cli: cannot write the log file " + log +
                            ": No such file or directory\nvantix-cli: the record of this board "
                            "is missing from the log " + log + "; stopping\n"
                            "boards: 2 passed, 0 failed; 1 record lost\n"),
              std::string::npos)
        << gone.err;
    EXPECT_EQ(gone.err.find("boards: 3 passed"), std::string::npos) << "no board after it";
}

TEST_F(ProductionLine, AStationKilledDuringABoardLeavesItsNumbersStartedLine) {
    const std::string log = dir.File("boards.jsonl");
    const std::string counter = dir.Write("serial.txt", "1000\n");
    const auto board = [&](const std::string& id, std::vector<std::string> more) {
        more.insert(more.end(), {"--log", log, "--board-id", id, "write-verify",
                                 Example("dsp56f807.s"), "--cpu", "807", "--serial-at",
                                 "PFLASH:7FF0", "--serial-counter", counter});
        more.insert(more.begin(), {"--sim-state", state});
        return StartProgram(more);
    };
    const ChildProcess killed = board("B1", {"--sim-realtime"});
    std::string err;
    ASSERT_TRUE(ReadUntilWithin(killed.err, err, "Writing...")) << err;
    kill(killed.pid, SIGKILL);
    Finish(killed);
    const std::vector<std::string> lines = Lines(ReadText(log));
    ASSERT_EQ(lines.size(), 1u);
    const nlohmann::json started = nlohmann::json::parse(lines[0]);
    EXPECT_EQ(started["status"], "started");
    EXPECT_EQ(started["serial"], 1000);
    EXPECT_EQ(started["board"], "B1");
    EXPECT_EQ(started["exit"], -1);
    // The next board's record supersedes its own started line; the report counts B1 as a
    // board whose end is unknown.
    EXPECT_EQ(Finish(board("B2", {})).status, kExitSuccess);
    const std::string html = dir.File("yield.html");
    ASSERT_EQ(RunProgram({"report", "--log", log, "--html", html}).status, kExitSuccess);
    const std::string page = ReadText(html);
    for (const auto& [figure, value] : {std::pair{"runs", "2"}, {"passed", "1"}, {"unknown", "1"},
                                        {"failed", "0"}}) {
        EXPECT_NE(page.find(std::string("data-figure=\"") + figure + "\">" + value + "<"),
                  std::string::npos)
            << figure;
    }
}

// A station killed at each step around taking a number, alone and as a gang: every number
// the counter has moved past has a line in the log, the board's record or its started line.
TEST_F(ProductionLine, EveryNumberTakenHasALineWhereverTheStationDies) {
    for (const bool gang : {false, true}) {
        ScratchDir files;
        const std::string log = files.File("boards.jsonl");
        const std::string counter = files.Write("serial.txt", "1000\n");
        std::vector<std::string> args{"--simulate", "--log",        log,     "write",
                                      Example("dsp56f807.s"),       "--cpu", "807",
                                      "--serial-at", "PFLASH:7FF0", "--serial-counter", counter};
        if (gang) {
            args.insert(args.begin(), {"--sim-pods", "2", "--pods", "all"});
        }
        for (int killedAt = 0;; ++killedAt) {
            ASSERT_LT(killedAt, 40) << "the run never got to its end";
            const pid_t station = fork();
            if (station == 0) {
                int steps = 0;
                CliEnvironment environment;
                environment.atStep = [&](const char*) {
                    if (steps++ == killedAt) {
                        raise(SIGKILL);
                    }
                };
                _exit(RunInProcess(args, environment).status);
            }
            const int status = WaitForExit(station);
            std::set<std::uint64_t> logged;
            for (const std::string& line : Lines(ReadText(log))) {
                const nlohmann::json record = nlohmann::json::parse(line);
                if (record.contains("serial") && record["serial"].is_number()) {
                    logged.insert(record["serial"].get<std::uint64_t>());
                }
            }
            const std::uint64_t next = std::stoull(ReadText(counter));
            for (std::uint64_t number = 1000; number < next; ++number) {
                EXPECT_EQ(logged.count(number), 1u)
                    << "number " << number << " has no line; killed at step " << killedAt
                    << (gang ? " of a gang" : "");
            }
            if (!WIFSIGNALED(status)) {
                EXPECT_GE(killedAt, gang ? 6 : 3) << "every step was passed";
                break;
            }
        }
    }
}

}  // namespace
