// --only-changed on the simulated pod: whatever the board held, the target ends word for word
// as after the plain command, and only the pages that differed get Target Write's frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <tuple>

#include <nlohmann/json.hpp>

#include "CliTestSupport.h"
#include "PagePieces.h"
#include "RegionProtocol.h"
#include "RegionRows.h"
#include "SFileImage.h"
#include "commandline/CliExit.h"

namespace {

enum class Board { HoldsImage, OneWordChanged, Blank, OldFirmware };

struct Memory {
    std::vector<std::uint16_t> program;
    std::vector<std::uint16_t> data;
    bool operator==(const Memory&) const = default;
};

// The example file, what the board holds, and whether the whole boot flash is erased.
using Case = std::tuple<const char*, Board, bool>;

using Frames = std::vector<std::string>;
using Rows = std::vector<RegionRow>;

// Each written block by its W frame's code and address: S, the T frames, W and the compare
// frame after it.
std::map<std::string, Frames> WrittenBlocks(const Frames& frames) {
    std::map<std::string, Frames> blocks;
    Frames block;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        block = frames[i] == "S" ? Frames{} : block;
        block.push_back(frames[i]);
        if (frames[i][0] == 'W' && i + 1 < frames.size() &&
            (frames[i + 1][0] == 'P' || frames[i + 1][0] == 'V')) {
            block.push_back(frames[i + 1]);
        }
        if (frames[i][0] == 'W') {
            blocks[frames[i].substr(1, 6)] = block;
        }
    }
    return blocks;
}

// Each compare without a write: S, the T frames and the verify letter frame.
std::vector<Frames> Compares(const Frames& frames) {
    std::vector<Frames> compares;
    Frames block;
    for (const std::string& frame : frames) {
        block = frame == "S" ? Frames{} : block;
        block.push_back(frame);
        if ((frame[0] == 'P' || frame[0] == 'V') && block.front() == "S" &&
            block[block.size() - 2][0] == 'T') {
            compares.push_back(block);
        }
    }
    return compares;
}

std::multiset<std::string> Erases(const Frames& frames) {
    std::multiset<std::string> erases;
    for (const std::string& frame : frames) {
        if (frame[0] == 'X') {
            erases.insert(frame);
        }
    }
    return erases;
}

// An example file on a simulated pod at instant pace, with the board it starts from.
class OnlyChangedBoard : public ::testing::Test {
protected:
    void Load(const std::string& file, bool eraseAllBoot) {
        image.cpu = file.find("803") != std::string::npos   ? CpuType::DSP56F803
                    : file.find("805") != std::string::npos ? CpuType::DSP56F805
                                                            : CpuType::DSP56F807;
        image.ApplyCpuMemoryMap();
        ASSERT_TRUE(image.ReadSFile(Example(file)));
        rows = ListPresentRegions(image);
        args = {"write-verify", Example(file), "--cpu", CpuName(image.cpu), "--json"};
        args.push_back(eraseAllBoot ? "--erase-all-boot" : "--no-erase-all-boot");
    }

    // One write-verify on a simulated pod whose target holds the board; the pod's frames and
    // the target afterwards are kept.
    CliRun Run(const Memory& board, std::vector<std::string> more = {}) {
        more.insert(more.begin(), args.begin(), args.end());
        return RunCommand(board, more);
    }

    CliRun RunCommand(const Memory& board, std::vector<std::string> more) {
        ScriptedPod scripted;
        scripted.script = [&](SimulatedPod& pod) {
            pod.Target().RestoreSpaces(board.program, board.data);
            if (fault) {
                fault(pod);
            }
        };
        more.insert(more.begin(), "--simulate");
        const CliRun run = RunInProcess(more, scripted.Environment());
        frames = scripted.pod->FrameLog();
        after = {scripted.pod->Target().ProgramSpace(), scripted.pod->Target().DataSpace()};
        EXPECT_EQ(scripted.pod->Counters().Refusals(), 0);
        return run;
    }

    Memory BoardFor(Board board) {
        SimTarget target;
        target.Fill(board == Board::Blank ? SimFill::Erased() : SimFill{});
        Memory memory{target.ProgramSpace(), target.DataSpace()};
        if (board == Board::HoldsImage || board == Board::OneWordChanged) {
            EXPECT_EQ(Run(memory).status, kExitSuccess);
            memory = after;
        }
        for (const RegionRow& row : board == Board::OneWordChanged ? rows : Rows{}) {
            auto& space = row.region == MemoryRegion::DFLASH ? memory.data : memory.program;
            space[(row.start + row.end) / 2] ^= 0x0100;
        }
        return memory;
    }

    // W code and address of each piece whose words on the board differ from the image.
    std::set<std::string> DifferingPages(const Memory& board, const RegionRow& row,
                                         bool all = false) const {
        std::set<std::string> pages;
        const auto& space = row.region == MemoryRegion::DFLASH ? board.data : board.program;
        for (const PagePiece& piece : PagePieces(row.start, row.end)) {
            bool differs = all;
            for (std::uint32_t a = piece.first; a <= piece.last; ++a) {
                differs = differs || space[a] != image.WordAt(row.region, a);
            }
            char page[8];
            std::snprintf(page, sizeof page, "%02X%04X", RegionProtocol::For(row.region).writeCode,
                          piece.first);
            if (differs) {
                pages.insert(page);
            }
        }
        return pages;
    }

    SFileImage image;
    Rows rows;
    std::vector<std::string> args;
    ScratchDir dir;
    std::function<void(SimulatedPod&)> fault;
    Frames frames;
    Memory after;
};

class OnlyChanged : public OnlyChangedBoard, public ::testing::WithParamInterface<Case> {
protected:
    void SetUp() override { Load(std::get<0>(GetParam()), EraseAllBoot()); }
    static bool EraseAllBoot() { return std::get<2>(GetParam()); }
};

TEST_P(OnlyChanged, TargetEndsAsAfterThePlainCommandWithOnlyTheDifferingPagesWritten) {
    const Memory board = BoardFor(std::get<1>(GetParam()));
    ASSERT_EQ(Run(board).status, kExitSuccess);
    const Memory plain = after;
    const std::map<std::string, Frames> plainBlocks = WrittenBlocks(frames);
    const std::multiset<std::string> plainErases = Erases(frames);

    const CliRun run = Run(board, {"--only-changed"});
    ASSERT_EQ(run.status, kExitSuccess) << run.err;
    EXPECT_TRUE(after == plain);
    const Frames onlyChanged = frames;
    // The compare pass is Target Verify's, and Target Verify passes on the board it leaves.
    const std::vector<std::string> verify = {"verify", args[1], "--cpu", args[3]};
    EXPECT_EQ(RunCommand(after, verify).status, kExitSuccess);
    EXPECT_EQ(Compares(onlyChanged), Compares(frames));
    const nlohmann::json record = nlohmann::json::parse(run.out);
    std::set<std::string> expected;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const RegionRow& row = rows[i];
        const std::size_t pieces = PagePieces(row.start, row.end).size();
        const std::size_t differing = DifferingPages(board, row).size();
        // The whole boot flash is erased with one frame, and then all its pages written.
        const bool wholeBoot = row.region == MemoryRegion::BFLASH && EraseAllBoot();
        const std::set<std::string> pages = DifferingPages(board, row, wholeBoot && differing);
        const nlohmann::json& counts = record["regions"][i]["pages"];
        EXPECT_EQ(counts,
                  nlohmann::json(
                      {{"compared", pieces}, {"differed", differing}, {"written", pages.size()}}))
            << row.name;
        EXPECT_NE(run.err.find(row.name + ": " + std::to_string(pages.size()) + " of " +
                               std::to_string(pieces) + " pages written\n"),
                  std::string::npos);
        expected.insert(pages.begin(), pages.end());
    }
    // Each page written got the plain command's very frames, and its erase among them.
    const std::map<std::string, Frames> blocks = WrittenBlocks(onlyChanged);
    std::set<std::string> written;
    for (const auto& [page, block] : blocks) {
        written.insert(page);
        EXPECT_EQ(block, plainBlocks.at(page)) << page;
    }
    EXPECT_EQ(written, expected);
    const std::multiset<std::string> erases = Erases(onlyChanged);
    EXPECT_TRUE(
        std::includes(plainErases.begin(), plainErases.end(), erases.begin(), erases.end()));
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
    static const char* const kBoards[] = {"HoldsImage", "OneWordChanged", "Blank", "OldFirmware"};
    const std::string file = std::get<0>(info.param);
    return file.substr(0, file.find('.')) + "_" +
           kBoards[static_cast<int>(std::get<1>(info.param))] +
           (std::get<2>(info.param) ? "_EraseAllBoot" : "_BootPages");
}

INSTANTIATE_TEST_SUITE_P(
    EveryExampleAndBoard, OnlyChanged,
    ::testing::Combine(::testing::Values("dsp56f803.s", "dsp56f805.s", "dsp56f807.s"),
                       ::testing::Values(Board::HoldsImage, Board::OneWordChanged, Board::Blank,
                                         Board::OldFirmware),
                       ::testing::Bool()),
    CaseName);

// A failure keeps the plain command's result: a compare the pod does not answer, or whose
// words it objects to, is an error and never a difference, and nothing is erased after it.
struct Fault {
    const char* name;
    std::function<void(SimFaults&)> plant;
    int result;
    const char* status;
    nlohmann::json dflashPages;
};

class OnlyChangedFaults : public OnlyChangedBoard, public ::testing::WithParamInterface<Fault> {
protected:
    void SetUp() override { Load("dsp56f807.s", true); }
};

TEST_P(OnlyChangedFaults, EndTheRunWithThePlainCommandsResult) {
    fault = [](SimulatedPod& pod) { GetParam().plant(pod.Faults()); };
    SimTarget oldFirmware;
    const CliRun run =
        Run({oldFirmware.ProgramSpace(), oldFirmware.DataSpace()}, {"--only-changed"});
    EXPECT_EQ(run.status, kExitFailed);
    const nlohmann::json record = nlohmann::json::parse(run.out);
    EXPECT_EQ(record["result"], GetParam().result);
    EXPECT_EQ(record["status"], GetParam().status);
    EXPECT_NE(run.err.find(std::string(GetParam().status) + "\n"), std::string::npos);
    EXPECT_EQ(record["regions"][3]["pages"], GetParam().dflashPages);
    // PFLASH comes after DFLASH: not reached.
    EXPECT_EQ(record["regions"][0]["pages"],
              nlohmann::json({{"compared", 0}, {"differed", 0}, {"written", 0}}));
    const bool compareFailed = GetParam().result == kTargetDflashVerifyError;
    EXPECT_EQ(Erases(frames).empty(), compareFailed);
    EXPECT_TRUE(WrittenBlocks(frames).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Pod, OnlyChangedFaults,
    ::testing::Values(Fault{"SilentCompare",
                            [](SimFaults& f) { f.SilenceReply('V', 2); },
                            14,
                            "DFLASH Verify Error",
                            {{"compared", 1}, {"differed", 1}, {"written", 0}}},
                      Fault{"ObjectionInAStream",
                            [](SimFaults& f) { f.objectAfterTBatch = 4; },
                            14,
                            "DFLASH Verify Error",
                            {{"compared", 0}, {"differed", 0}, {"written", 0}}},
                      Fault{"SilentErase",
                            [](SimFaults& f) { f.SilenceReply('X', 1); },
                            12,
                            "DFLASH Erase Error",
                            {{"compared", 3}, {"differed", 3}, {"written", 0}}}),
    [](const ::testing::TestParamInfo<Fault>& info) { return std::string(info.param.name); });

// A serial number differs from board to board: its page is written, and only that one. The
// option reaches the command from a job file; verify does not take it.
TEST_F(OnlyChangedBoard, SerialNumberPageIsWrittenAndVerifyRefusesTheOption) {
    Load("dsp56f807.s", true);
    SimTarget oldFirmware;
    ASSERT_EQ(Run({oldFirmware.ProgramSpace(), oldFirmware.DataSpace()},
                  {"--serial-at", "PFLASH:7FF0", "--serial-start", "7"})
                  .status,
              kExitSuccess);
    const CliRun run = Run(after, {"--serial-at", "PFLASH:7FF0", "--serial-start", "8", "--config",
                                   dir.Write("job.toml", "only-changed = true\n")});
    ASSERT_EQ(run.status, kExitSuccess) << run.err;
    EXPECT_EQ(WrittenBlocks(frames).size(), 1u);
    EXPECT_EQ(WrittenBlocks(frames).count("057F00"), 1u);
    EXPECT_EQ(after.program[0x7FF0], 8);
    // Each region's compare shows as a verify does, then the write of what differed.
    EXPECT_NE(run.err.find("Firmware Downloading...\nDFLASH Verifying...\nPFLASH Verifying...\n"
                           "PFLASH Erasing...\nPFLASH Writing...\nP2FLASH Verifying...\n"
                           "BFLASH Verifying...\n"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("PFLASH: 1 of 128 pages written\n"), std::string::npos);
    const CliRun verify = RunInProcess(
        {"--simulate", "verify", Example("dsp56f807.s"), "--cpu", "807", "--only-changed"});
    EXPECT_EQ(verify.status, kExitInputError);
    EXPECT_NE(verify.err.find("unknown option '--only-changed' for 'verify'"), std::string::npos);
}

}  // namespace
