// Serial numbers per board through the built vantix-cli on the simulated pod.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <regex>
#include <set>
#include <thread>

#include "CliExit.h"
#include "CliProcess.h"
#include "SFileImage.h"
#include "SRecordText.h"
#include "records/ImageDigests.h"

namespace {

const std::string f807 = Example("dsp56f807.s");

// Every record's serial number and PFLASH CRC-32, in order.
std::vector<std::pair<std::uint32_t, std::string>> Serials(const std::string& records) {
    std::vector<std::pair<std::uint32_t, std::string>> found;
    const std::regex record(
        "\"name\":\"PFLASH\",[^}]*\"crc32\":\"([0-9a-f]{8})\".*"
        "\"serial\":([0-9]+),\"serial_at\":\"PFLASH:0x7FF0\"");
    for (const std::string& line : Lines(records)) {
        std::smatch match;
        if (std::regex_search(line, match, record)) {
            found.emplace_back(static_cast<std::uint32_t>(std::stoul(match[2])), match[1]);
        }
    }
    return found;
}

// The CRC-32 of PFLASH as the file gives it with the number in 0x7FF0 and 0x7FF1, or as a
// simulated pod's state file holds it.
std::string PflashCrc(std::optional<std::uint32_t> serial, const std::string& state = "") {
    SFileImage image;
    image.cpu = CpuType::DSP56F807;
    image.ApplyCpuMemoryMap();
    image.ReadSFile(f807);
    RegionRow row = ListPresentRegions(image).front();
    row.end = 0x7FF1;
    VirtualClock clock;
    SimulatedPod pod(clock);
    if (!state.empty()) {
        EXPECT_TRUE(pod.LoadState(state, nullptr));
    }
    for (std::uint32_t a = row.start; a <= row.end; ++a) {
        image.regions[0].words[a] = serial ? image.regions[0].words[a] : pod.ProgramWord(a);
    }
    if (serial) {
        image.regions[0].words[0x7FF0] = static_cast<std::uint16_t>(*serial);
        image.regions[0].words[0x7FF1] = static_cast<std::uint16_t>(*serial >> 16);
    }
    return Crc32Text(RegionCrc32(image, row));
}

class SerialCounterTest : public ::testing::Test {
protected:
    std::vector<std::string> Write(std::vector<std::string> more) const {
        std::vector<std::string> args = {"--sim-state",    state, "write-verify", f807,
                                         "--cpu",          "807", "--serial-at",  "PFLASH:7FF0",
                                         "--serial-words", "2"};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }

    ScratchDir dir;
    const std::string state = dir.File("board.state");
    const std::string counter = dir.Write("serial.txt", "1000\n");
};

TEST_F(SerialCounterTest, TwoStationsShareOneCounter) {
    const auto station = [&](const char* pod) {
        return StartProgram({"--sim-pods", "2", "--pod", pod, "--sim-state", state, "write-verify",
                             f807, "--cpu", "807", "--serial-at", "PFLASH:7FF0", "--serial-words",
                             "2", "--serial-counter", counter, "--repeat", "--json"},
                            std::string(9, '\n'));
    };
    const ChildProcess first = station("VSIM0001");
    const ChildProcess second = station("VSIM0002");
    const CliRun one = Finish(first);
    const CliRun two = Finish(second);
    ASSERT_EQ(one.status, kExitSuccess) << one.err;
    ASSERT_EQ(two.status, kExitSuccess) << two.err;
    const auto ones = Serials(one.out);
    const auto twos = Serials(two.out);
    ASSERT_EQ(ones.size(), 10u) << one.out;
    ASSERT_EQ(twos.size(), 10u) << two.out;
    std::set<std::uint32_t> numbers;
    for (const auto& board : ones.front().first < twos.front().first ? ones : twos) {
        numbers.insert(board.first);
    }
    for (const auto& board : ones.front().first < twos.front().first ? twos : ones) {
        numbers.insert(board.first);
    }
    // 20 numbers, no gap, each board's region as the file gives it with its number.
    EXPECT_EQ(numbers.size(), 20u);
    EXPECT_EQ(*numbers.begin(), 1000u);
    EXPECT_EQ(*numbers.rbegin(), 1019u);
    EXPECT_EQ(ReadText(counter), "1020\n");
    for (const auto& boards : {ones, twos}) {
        for (const auto& [serial, crc] : boards) {
            EXPECT_EQ(crc, PflashCrc(serial)) << serial;
        }
    }
    // Each pod holds its last board, the number where --serial-at says.
    EXPECT_EQ(PflashCrc(std::nullopt, state + ".VSIM0001"), ones.back().second);
    EXPECT_EQ(PflashCrc(std::nullopt, state + ".VSIM0002"), twos.back().second);
}

TEST_F(SerialCounterTest, ANumberTakenIsNeverHandedOutAgain) {
    std::vector<std::string> slow = Write({"--serial-counter", counter});
    slow.insert(slow.begin(), "--sim-realtime");
    const ChildProcess killed = StartProgram(slow);
    WaitWhileFileHolds(counter, "1000\n");
    kill(killed.pid, SIGKILL);
    Finish(killed);
    ASSERT_EQ(ReadText(counter), "1001\n");

    const CliRun next =
        RunProgram(Write({"--serial-counter", counter, "--json", "--board-id", "PCB-7"}));
    ASSERT_EQ(next.status, kExitSuccess) << next.err;
    EXPECT_NE(next.out.find("\"board\":\"PCB-7\",\"serial\":1001,"), std::string::npos);
    ASSERT_EQ(Serials(next.out).size(), 1u);
    EXPECT_EQ(Serials(next.out).front().first, 1001u);
    // verify checks the number a board was given.
    const std::vector<std::string> verify = {
        "--sim-state", state,         "verify",         f807, "--cpu",         "807",
        "--serial-at", "PFLASH:7FF0", "--serial-words", "2",  "--serial-value"};
    std::vector<std::string> right = verify;
    right.push_back("1001");
    std::vector<std::string> wrong = verify;
    wrong.push_back("1000");
    EXPECT_EQ(RunProgram(right).status, kExitSuccess);
    EXPECT_EQ(RunProgram(wrong).status, kExitFailed);
}

// A counter and a state file reached through links: the links stay links, and the numbers
// are the file's, whichever name a station gives it.
TEST_F(SerialCounterTest, ALinkedCounterSharesItsNumbersWithTheFileItNames) {
    std::filesystem::create_symlink(counter, dir.File("counter-link"));
    std::filesystem::create_symlink(state, dir.File("state-link"));
    const CliRun viaLink = RunProgram(Write({"--serial-counter", dir.File("counter-link"), "--json"}));
    ASSERT_EQ(viaLink.status, kExitSuccess) << viaLink.err;
    for (const char* link : {"counter-link", "state-link"}) {
        EXPECT_TRUE(std::filesystem::is_symlink(dir.File(link))) << link;
    }
    EXPECT_EQ(ReadText(counter), "1001\n");
    EXPECT_FALSE(std::filesystem::exists(dir.File("counter-link.lock")));
    const CliRun direct = RunProgram(Write({"--serial-counter", counter, "--json"}));
    ASSERT_EQ(direct.status, kExitSuccess) << direct.err;
    ASSERT_EQ(Serials(viaLink.out).size(), 1u);
    ASSERT_EQ(Serials(direct.out).size(), 1u);
    EXPECT_EQ(Serials(viaLink.out).front().first, 1000u);
    EXPECT_EQ(Serials(direct.out).front().first, 1001u);
    EXPECT_EQ(PflashCrc(std::nullopt, dir.File("state-link")), Serials(direct.out).front().second);
}

TEST_F(SerialCounterTest, RefusalsComeBeforeThePod) {
    const std::string trace = dir.File("refused.trace");
    const auto refused = [&](std::vector<std::string> args, const std::string& message) {
        args.insert(args.begin(), {"--trace", trace});
        const CliRun run = RunProgram(args);
        EXPECT_EQ(run.status, kExitInputError) << message;
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
        EXPECT_EQ(ReadText(trace), "") << message;
    };
    const std::string full = dir.Write("full.txt", "65536\n");
    refused({"write", Example("dsp56f805.s"), "--cpu", "805", "--serial-at", "PFLASH:7E00",
             "--serial-start", "1"},
            "serial address PFLASH:7E00 lies outside PFLASH of the DSP56F805 (0x0004-0x7DFF)");
    refused(Write({"--serial-start", "1", "--regions", "DFLASH"}),
            "serial address PFLASH:0x7FF0 lies in PFLASH, which --regions leaves out");
    refused({"write", f807, "--cpu", "807", "--serial-at", "PFLASH:0100", "--serial-start", "1"},
            "serial address PFLASH:0x0100 holds data of the file; --serial-overwrite replaces it");
    refused(
        {"write", f807, "--cpu", "807", "--serial-at", "PFLASH:7FF0", "--serial-start", "65536"},
        "serial number 65536 does not fit 16 bits (--serial-words 1)");
    refused({"write", f807, "--cpu", "807", "--serial-at", "PFLASH:7FF0", "--serial-counter", full},
            "the serial counter " + full + " is at 65536, beyond the largest serial number 65535");
    EXPECT_EQ(ReadText(full), "65536\n");
    for (const auto& [text, says] :
         {std::pair<std::string, std::string>{"\xEF\xBB\xBF" "5\n", "starts with a byte-order mark"},
          {"5\n6\n", "holds more than one line"},
          {"five\n", "holds no number"}}) {
        const std::string odd = dir.Write("odd.txt", text);
        refused({"write", f807, "--cpu", "807", "--serial-at", "PFLASH:7FF0", "--serial-counter",
                 odd},
                "the serial counter " + odd + " " + says);
        EXPECT_EQ(ReadText(odd), text);
    }
    refused({"pod-write", f807, "--cpu", "807", "--serial-at", "PFLASH:7FF0"},
            "'pod-write' takes no serial number (--serial-at): the pod programs boards on its "
            "own, with one image");
    refused({"verify", f807, "--cpu", "807", "--serial-at", "PFLASH:7FF0"},
            "--serial-at needs --serial-value N");
    refused(Write({"--serial-counter", ""}), "option '--serial-counter' has an empty value");
    refused({"write", f807, "--cpu", "807", "--serial-at", "PFLASH:0100", "--serial-start", "1",
             "--serial-overwrite", "--no-serial-overwrite"},
            "holds data of the file");
    const CliRun overwrite =
        RunProgram({"--simulate", "write", f807, "--cpu", "807", "--serial-at", "PFLASH:0100",
                    "--serial-start", "7", "--serial-overwrite"});
    EXPECT_EQ(overwrite.status, kExitSuccess) << overwrite.err;
}

// The vectors, P:0000-0003, are kept at the start of BFLASH: whichever name reaches them, a
// serial number never replaces them, not even with --serial-overwrite.
TEST_F(SerialCounterTest, TheVectorsAreRefusedUnderEveryName) {
    const std::string noVectors =
        dir.Write("no-vectors.s", S3Record(0x0100, std::vector<std::uint16_t>(8, 0x1111)) + "\n");
    const std::string vectors805 =
        "(P:0000-0003), which BFLASH of the DSP56F805 holds at "
        "0x8000-0x8003";
    const std::string vectors807 =
        "(P:0000-0003), which BFLASH of the DSP56F807 holds at "
        "0xF800-0xF803";
    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"write", noVectors, "--cpu", "805", "--serial-at", "BFLASH:8000"}, vectors805},
        {{"write", noVectors, "--cpu", "805", "--serial-at", "BFLASH:8003"}, vectors805},
        {{"write", noVectors, "--cpu", "805", "--serial-at", "BFLASH:7FFF", "--serial-words", "2"},
         "outside BFLASH"},
        {{"write", f807, "--cpu", "807", "--serial-at", "BFLASH:F800", "--serial-overwrite"},
         vectors807},
        {{"write-verify", f807, "--cpu", "807", "--serial-at", "bflash:f802", "--serial-overwrite",
          "--serial-words", "2"},
         vectors807},
        {{"write", f807, "--cpu", "807", "--serial-at", "PFLASH:0000", "--serial-overwrite"},
         "serial address PFLASH:0000 lies outside PFLASH of the DSP56F807 (0x0004-0x7FFF)"},
        {{"write", noVectors, "--cpu", "805", "--serial-at", "PFLASH:0003"},
         "lies outside PFLASH of the DSP56F805 (0x0004-0x7DFF)"},
    };
    for (const auto& refused : cases) {
        std::vector<std::string> args = {"--simulate"};
        args.insert(args.end(), refused.args.begin(), refused.args.end());
        args.insert(args.end(), {"--serial-start", "1"});
        const CliRun run = RunInProcess(args);
        EXPECT_EQ(run.status, kExitInputError) << run.err;
        EXPECT_NE(run.err.find(refused.message), std::string::npos) << run.err;
    }
    // The word after the vectors is the boot flash's own.
    const CliRun after = RunInProcess({"--simulate", "write", noVectors, "--cpu", "805",
                                       "--serial-at", "BFLASH:8004", "--serial-start", "1"});
    EXPECT_EQ(after.status, kExitSuccess) << after.err;
}

}  // namespace
