// One command on several simulated pods at once (--pods): each pod does what a single run on
// it does, the boards' records and traces included, and a pod that fails or cannot be
// reached leaves the others running.
#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>

#include "CliExit.h"
#include "CliTestSupport.h"
#include "station/PodLock.h"

namespace {

const std::string f807 = Example("dsp56f807.s");

class Gang : public ::testing::Test {
protected:
    // Four simulated pods whose states live beside each other.
    std::vector<std::string> OnPods(std::vector<std::string> args) const {
        args.insert(args.begin(), {"--sim-pods", "4", "--sim-state", state});
        return args;
    }

    ScratchDir dir;
    const std::string state = dir.File("line.state");
};

// What a terminal shows once the escape sequences, carriage returns and line ends of a
// run's stderr have moved its cursor.
std::vector<std::string> Screen(const std::string& output) {
    std::vector<std::string> rows(1);
    std::size_t row = 0;
    std::size_t column = 0;
    const std::regex sequence("^\\x1b\\[([0-9]*)([AK])");
    for (std::size_t i = 0; i < output.size(); ++i) {
        std::smatch match;
        const std::string rest = output.substr(i, 8);
        if (std::regex_search(rest, match, sequence)) {
            if (match[2] == "A") {
                row -= std::stoul(match[1]);
            } else {
                rows[row].resize(std::min(rows[row].size(), column));
            }
            i += match.length(0) - 1;
        } else if (output[i] == '\r') {
            column = 0;
        } else if (output[i] == '\n') {
            rows.resize(std::max(rows.size(), ++row + 1));
            column = 0;
        } else {
            rows[row].resize(std::max(rows[row].size(), column + 1), ' ');
            rows[row][column++] = output[i];
        }
    }
    rows.pop_back();
    return rows;
}

TEST_F(Gang, FourBoardsInOneCommandAsFourSingleRunsWouldProgramThem) {
    const std::string counter = dir.Write("serial.txt", "500\n");
    const std::string log = dir.File("boards.jsonl");
    const std::vector<std::string> serial = {"--serial-at", "PFLASH:7FF0"};
    std::vector<std::string> args = {"--pods",  "all",  "--trace",          dir.File("wire"),
                                     "--log",   log,    "--board-id",       "A,B,C,D",
                                     "--json",  "write-verify", f807,       "--cpu",
                                     "807",     "--serial-counter", counter};
    args.insert(args.end(), serial.begin(), serial.end());
    const CliRun gang = RunInProcess(OnPods(args));
    ASSERT_EQ(gang.status, kExitSuccess) << gang.err;
    const nlohmann::json records = nlohmann::json::parse(gang.out);
    ASSERT_EQ(records.size(), 4u) << gang.out;
    // Each board's started line, written before its pod was touched, then its record.
    std::map<std::string, std::vector<std::string>> runs;
    for (const std::string& line : Lines(ReadText(log))) {
        const nlohmann::json logged = nlohmann::json::parse(line);
        runs[logged["run"]].push_back(logged["status"]);
    }
    EXPECT_EQ(runs.size(), 4u);
    for (const auto& [run, statuses] : runs) {
        ASSERT_EQ(statuses.size(), 2u) << run;
        EXPECT_EQ(statuses[0], "started");
    }
    std::set<std::uint32_t> numbers;
    for (std::size_t n = 1; n <= 4; ++n) {
        const nlohmann::json& record = records[n - 1];
        const std::string pod = "VSIM000" + std::to_string(n);
        EXPECT_EQ(record["pod"], pod);
        EXPECT_EQ(record["board"], std::string(1, static_cast<char>('A' + n - 1)));
        EXPECT_EQ(record["exit"], 0);
        numbers.insert(record["serial"].get<std::uint32_t>());
        // A single run on a new board with the same number sends and hears the same bytes.
        const std::string number = std::to_string(record["serial"].get<std::uint32_t>());
        std::vector<std::string> single = {"--sim-pods", "4",     "--pod", pod, "--trace",
                                           dir.File("single"), "write-verify", f807, "--cpu",
                                           "807", "--serial-start", number};
        single.insert(single.end(), serial.begin(), serial.end());
        ASSERT_EQ(RunInProcess(single).status, kExitSuccess);
        EXPECT_TRUE(ReadText(dir.File("wire." + pod)) == ReadText(dir.File("single"))) << pod;
        // And the pod's state holds the image with that number.
        std::vector<std::string> verify = {"--pod", pod, "verify", f807, "--cpu", "807",
                                           "--serial-value", number};
        verify.insert(verify.end(), serial.begin(), serial.end());
        EXPECT_EQ(RunInProcess(OnPods(verify)).status, kExitSuccess) << pod;
    }
    EXPECT_EQ(numbers.size(), 4u);
    EXPECT_EQ(ReadText(counter), "504\n");
    EXPECT_NE(gang.err.find("VSIM0004  Flash Write && Verify Completed - "), std::string::npos);
    EXPECT_NE(gang.err.find("\nboards: 4 passed, 0 failed\n"), std::string::npos) << gang.err;
}

TEST_F(Gang, AFailingBoardOrAPodInUseLeavesTheOthersRunning) {
    ASSERT_EQ(RunInProcess(OnPods({"--pods", "all", "write", f807, "--cpu", "807"})).status,
              kExitSuccess);
    // Another CPU's firmware on the second board: only its verify fails.
    ASSERT_EQ(RunInProcess(OnPods({"--pod", "VSIM0002", "write", Example("dsp56f805.s"),
                                   "--cpu", "805"}))
                  .status,
              kExitSuccess);
    CliEnvironment terminal;
    terminal.stderrIsTerminal = true;
    const CliRun failing =
        RunInProcess(OnPods({"--pods", "all", "verify", f807, "--cpu", "807"}), terminal);
    EXPECT_EQ(failing.status, kExitFailed);
    const std::vector<std::string> screen = Screen(failing.err);
    ASSERT_EQ(screen.size(), 7u) << failing.err;
    EXPECT_EQ(screen[0], "Reading S File is OK !!!");
    EXPECT_EQ(screen[3], "VSIM0002  PFLASH Verify Error");
    for (const std::size_t row : {2, 4, 5}) {
        EXPECT_EQ(screen[row].substr(10, 24), "Flash Verify Completed -") << screen[row];
    }
    EXPECT_EQ(screen[6], "boards: 3 passed, 1 failed");

    PodLock other;
    std::string error;
    ASSERT_EQ(other.Acquire(PodLock::KeyFor("VSIM0003", &state), error), PodLock::Result::Locked);
    const CliRun busy = RunInProcess(
        OnPods({"--pods", "VSIM0001,VSIM0003,VSIM0004", "verify", f807, "--cpu", "807", "--json"}));
    EXPECT_EQ(busy.status, kExitFailed) << busy.err;
    const nlohmann::json records = nlohmann::json::parse(busy.out);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0]["exit"], 0);
    EXPECT_EQ(records[1]["exit"], kExitUnreachable);
    EXPECT_EQ(records[1]["status"], "pod VSIM0003 is in use by another process");
    EXPECT_EQ(records[2]["exit"], 0);
    // No pod within reach at all.
    EXPECT_EQ(RunInProcess(OnPods({"--pods", "VSIM0003,VSIM0009", "reset"})).status,
              kExitUnreachable);
}

TEST_F(Gang, RefusalsComeBeforeAnyPodIsTouched) {
    const std::vector<std::vector<std::string>> refused = {
        {"--pods", "all", "--board-id", "A,B", "write", f807, "--cpu", "807"},
        {"--pods", "all", "write", f807, "--cpu", "807", "--regions", "DFLASH,XFLASH"},
        {"--pods", "all", "write", Example("dsp56f805.s"), "--cpu", "805", "--regions",
         "P2FLASH"},
        {"--pods", "all", "--pod", "VSIM0001", "reset"},
        {"--pods", "VSIM0001,VSIM0001", "reset"}};
    for (const std::vector<std::string>& args : refused) {
        const CliRun run = RunInProcess(OnPods(args));
        EXPECT_EQ(run.status, kExitInputError) << run.err;
        EXPECT_FALSE(std::filesystem::exists(state + ".VSIM0001")) << run.err;
    }
}

TEST_F(Gang, RepeatAsksOnceARoundAndLeavesOutAPodWhoseBoardFailed) {
    ASSERT_EQ(RunInProcess(OnPods({"--pods", "VSIM0001,VSIM0003", "write", f807, "--cpu", "807"}))
                  .status,
              kExitSuccess);
    // The second pod's board fails; x leaves that pod out, then two scanned ids name the
    // boards of the first and the third pod.
    std::istringstream operatorInput("x\nA-1\nA-3\nq\n");
    CliEnvironment environment;
    environment.input = &operatorInput;
    const CliRun run = RunInProcess(
        OnPods({"--pods", "VSIM0001,VSIM0002,VSIM0003", "verify", f807, "--cpu", "807",
                "--repeat", "--json"}),
        environment);
    EXPECT_EQ(run.status, kExitFailed) << run.err;
    const std::vector<std::string> rounds = Lines(run.out);
    ASSERT_EQ(rounds.size(), 2u) << run.out;
    EXPECT_EQ(nlohmann::json::parse(rounds[0]).size(), 3u);
    const nlohmann::json second = nlohmann::json::parse(rounds[1]);
    ASSERT_EQ(second.size(), 2u);
    EXPECT_EQ(second[0]["pod"], "VSIM0001");
    EXPECT_EQ(second[0]["board"], "A-1");
    EXPECT_EQ(second[1]["pod"], "VSIM0003");
    EXPECT_EQ(second[1]["board"], "A-3");
    EXPECT_NE(run.err.find("x and Enter leaves out VSIM0002)\nNext boards on VSIM0001, VSIM0003:"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("boards: 4 passed, 1 failed\n"), std::string::npos) << run.err;
}

TEST_F(Gang, RepeatNeverTakesACommandForABoardId) {
    // The middle pod is in use: its board fails unreached, and x has nothing to leave out.
    PodLock other;
    std::string error;
    ASSERT_EQ(other.Acquire(PodLock::KeyFor("VSIM0002", &state), error), PodLock::Result::Locked);
    const auto rounds = [&](const std::string& typed, const std::string& pods) {
        std::istringstream operatorInput(typed);
        CliEnvironment environment;
        environment.input = &operatorInput;
        const CliRun run = RunInProcess(
            OnPods({"--pods", pods, "write", f807, "--cpu", "807", "--repeat", "--json"}),
            environment);
        std::vector<nlohmann::json> boards;
        for (const std::string& round : Lines(run.out)) {
            boards.push_back(nlohmann::json::parse(round));
        }
        return std::pair{run, boards};
    };
    const auto [shifted, shiftedRounds] = rounds("x\nA-1\nA-3\nq\n", "VSIM0001,VSIM0002,VSIM0003");
    ASSERT_EQ(shiftedRounds.size(), 2u) << shifted.out;
    ASSERT_EQ(shiftedRounds[1].size(), 2u);
    EXPECT_EQ(shiftedRounds[1][0]["board"], "A-1");
    EXPECT_EQ(shiftedRounds[1][1]["board"], "A-3");
    EXPECT_NE(shifted.err.find("vantix-cli: no pod's board failed in the last round, so x leaves "
                               "out none; x is a command, not a board id\nNext boards on "
                               "VSIM0001, VSIM0003:"),
              std::string::npos)
        << shifted.err;
    // Every board passed: x is refused at the round's first line and among the ids alike.
    const auto [passed, passedRounds] = rounds("x\nB-1\nx\nB-4\nq\n", "VSIM0001,VSIM0004");
    ASSERT_EQ(passedRounds.size(), 2u) << passed.out;
    EXPECT_EQ(passed.status, kExitSuccess) << passed.err;
    EXPECT_EQ(passedRounds[1][0]["board"], "B-1");
    EXPECT_EQ(passedRounds[1][1]["board"], "B-4");
    EXPECT_NE(passed.err.find("vantix-cli: x is a command, not a board id; scan the board id for "
                              "VSIM0004\n"),
              std::string::npos)
        << passed.err;
}

}  // namespace
