// --only-changed on the simulated pod: whatever the board held, the target ends word for word
// as after the plain command, the compare is Target Verify's, and only the pages that differed
// get Target Write's frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <tuple>

#include <nlohmann/json.hpp>

#include "CliExit.h"
#include "CliTestSupport.h"
#include "PagePieces.h"
#include "RegionProtocol.h"
#include "RegionRows.h"
#include "SFileImage.h"

namespace {

enum class Board { HoldsImage, OneWordChanged, Blank, OldFirmware };
using Frames = std::vector<std::string>;
// The target's program space, then its data space.
using Memory = std::pair<std::vector<std::uint16_t>, std::vector<std::uint16_t>>;
using nlohmann::json;

// What a run sent: each written block by its W frame's code and address (S, T..., W and the
// compare after it), each compare of streamed words without a write, and the erases.
struct Traffic {
    std::map<std::string, Frames> written;
    std::vector<Frames> compares;
    std::multiset<std::string> erases;

    explicit Traffic(const Frames& frames) {
        Frames block;
        std::string page;
        for (const std::string& frame : frames) {
            block = frame == "S" ? Frames{} : block;
            block.push_back(frame);
            if (frame[0] == 'X') {
                erases.insert(frame);
            } else if (frame[0] == 'W') {
                page = frame.substr(1, 6);
                written[page] = block;
            } else if ((frame[0] == 'P' || frame[0] == 'V') && block.size() > 1) {
                const char before = block[block.size() - 2][0];
                if (before == 'W') {
                    written[page].push_back(frame);
                } else if (before == 'T') {
                    compares.push_back(block);
                }
            }
        }
    }
};

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
        args = {"write-verify", Example(file),
                "--cpu",        CpuName(image.cpu),
                "--json",       eraseAllBoot ? "--erase-all-boot" : "--no-erase-all-boot"};
    }

    // One command on a simulated pod whose target holds the board; the pod's frames and the
    // target afterwards are kept.
    CliRun Run(const Memory& board, std::vector<std::string> command) {
        ScriptedPod scripted;
        scripted.script = [&](SimulatedPod& pod) {
            pod.Target().RestoreSpaces(board.first, board.second);
            if (fault) {
                fault(pod.Faults());
            }
        };
        command.insert(command.begin(), "--simulate");
        const CliRun run = RunInProcess(command, scripted.Environment());
        frames = scripted.pod->FrameLog();
        after = {scripted.pod->Target().ProgramSpace(), scripted.pod->Target().DataSpace()};
        EXPECT_EQ(scripted.pod->Counters().Refusals(), 0);
        return run;
    }

    CliRun Write(const Memory& board, std::vector<std::string> more = {}) {
        more.insert(more.begin(), args.begin(), args.end());
        return Run(board, more);
    }

    Memory BoardFor(Board board) {
        SimTarget target;
        target.Fill(board == Board::Blank ? SimFill::Erased() : SimFill{});
        Memory memory{target.ProgramSpace(), target.DataSpace()};
        if (board == Board::HoldsImage || board == Board::OneWordChanged) {
            EXPECT_EQ(Write(memory).status, kExitSuccess);
            memory = after;
        }
        for (const RegionRow& row :
             board == Board::OneWordChanged ? rows : std::vector<RegionRow>{}) {
            auto& space = row.region == MemoryRegion::DFLASH ? memory.second : memory.first;
            space[(row.start + row.end) / 2] ^= 0x0100;
        }
        return memory;
    }

    // W code and address of each piece whose words on the board differ from the image (of
    // every piece with all).
    std::set<std::string> DifferingPages(const Memory& board, const RegionRow& row,
                                         bool all = false) const {
        std::set<std::string> pages;
        const auto& space = row.region == MemoryRegion::DFLASH ? board.second : board.first;
        for (const PagePiece& piece : PagePieces(row.start, row.end)) {
            for (std::uint32_t a = piece.first; a <= piece.last; ++a) {
                if (all || space[a] != image.WordAt(row.region, a)) {
                    char page[8];
                    std::snprintf(page, sizeof page, "%02X%04X",
                                  RegionProtocol::For(row.region).writeCode, piece.first);
                    pages.insert(page);
                    break;
                }
            }
        }
        return pages;
    }

    SFileImage image;
    std::vector<RegionRow> rows;
    std::vector<std::string> args;
    ScratchDir dir;
    std::function<void(SimFaults&)> fault;
    Frames frames;
    Memory after;
};

// The example file, what the board holds, and whether the whole boot flash is erased.
class OnlyChanged : public OnlyChangedBoard,
                    public ::testing::WithParamInterface<std::tuple<const char*, Board, bool>> {};

TEST_P(OnlyChanged, TargetEndsAsAfterThePlainCommandWithOnlyTheDifferingPagesWritten) {
    const auto [file, boardKind, eraseAllBoot] = GetParam();
    Load(file, eraseAllBoot);
    const Memory board = BoardFor(boardKind);
    ASSERT_EQ(Write(board).status, kExitSuccess);
    const Memory plain = after;
    const Traffic plainTraffic(frames);

    const CliRun run = Write(board, {"--only-changed"});
    ASSERT_EQ(run.status, kExitSuccess) << run.err;
    EXPECT_TRUE(after == plain);
    const Traffic traffic(frames);
    EXPECT_EQ(Run(after, {"verify", args[1], "--cpu", args[3]}).status, kExitSuccess);
    EXPECT_EQ(traffic.compares, Traffic(frames).compares);

    const json record = json::parse(run.out);
    std::set<std::string> expected;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::size_t pieces = PagePieces(rows[i].start, rows[i].end).size();
        std::set<std::string> pages = DifferingPages(board, rows[i]);
        const std::size_t differed = pages.size();
        // The whole boot flash is erased with one frame, and then all its pages written.
        if (rows[i].region == MemoryRegion::BFLASH && eraseAllBoot && differed > 0) {
            pages = DifferingPages(board, rows[i], true);
        }
        EXPECT_EQ(record["regions"][i]["pages"],
                  json({{"compared", pieces}, {"differed", differed}, {"written", pages.size()}}));
        EXPECT_NE(run.err.find(rows[i].name + ": " + std::to_string(pages.size()) + " of " +
                               std::to_string(pieces) + " pages written\n"),
                  std::string::npos);
        expected.insert(pages.begin(), pages.end());
    }
    // Each page written got the plain command's very frames, and its erase among them.
    std::set<std::string> written;
    for (const auto& [page, block] : traffic.written) {
        written.insert(page);
        EXPECT_EQ(block, plainTraffic.written.at(page)) << page;
    }
    EXPECT_EQ(written, expected);
    EXPECT_TRUE(std::includes(plainTraffic.erases.begin(), plainTraffic.erases.end(),
                              traffic.erases.begin(), traffic.erases.end()));
}

INSTANTIATE_TEST_SUITE_P(
    EveryExampleAndBoard, OnlyChanged,
    ::testing::Combine(::testing::Values("dsp56f803.s", "dsp56f805.s", "dsp56f807.s"),
                       ::testing::Values(Board::HoldsImage, Board::OneWordChanged, Board::Blank,
                                         Board::OldFirmware),
                       ::testing::Bool()));

// A failure keeps the plain command's result: a compare the pod does not answer, or whose
// words it objects to, is an error and never a difference, and nothing is written after it.
TEST_F(OnlyChangedBoard, FailuresEndTheRunWithThePlainCommandsResult) {
    Load("dsp56f807.s", true);
    const struct {
        std::function<void(SimFaults&)> plant;
        int result;
        std::string status;
        int compared;  // DFLASH's pieces (all differ) before the failure
    } cases[] = {
        {[](SimFaults& f) { f.SilenceReply('V', 2); }, 14, "DFLASH Verify Error", 1},
        {[](SimFaults& f) { f.objectAfterTBatch = 4; }, 14, "DFLASH Verify Error", 0},
        {[](SimFaults& f) { f.SilenceReply('X', 1); }, 12, "DFLASH Erase Error", 3},
    };
    const SimTarget oldFirmware;
    for (const auto& failure : cases) {
        fault = failure.plant;
        const CliRun run =
            Write({oldFirmware.ProgramSpace(), oldFirmware.DataSpace()}, {"--only-changed"});
        EXPECT_EQ(run.status, kExitFailed);
        const json record = json::parse(run.out);
        EXPECT_EQ(record["result"], failure.result);
        EXPECT_EQ(record["status"], failure.status);
        EXPECT_NE(run.err.find(failure.status + "\n"), std::string::npos);
        const int compared = failure.compared;
        EXPECT_EQ(record["regions"][3]["pages"],
                  json({{"compared", compared}, {"differed", compared}, {"written", 0}}));
        EXPECT_EQ(record["regions"][0]["pages"]["compared"], 0);  // PFLASH comes after DFLASH
        const Traffic traffic(frames);
        EXPECT_EQ(traffic.erases.empty(), compared < 3);
        EXPECT_TRUE(traffic.written.empty());
    }
}

// A serial number differs from board to board: its page is written, and only that one. The
// option reaches the command from a job file.
TEST_F(OnlyChangedBoard, SerialNumberPageIsWritten) {
    Load("dsp56f807.s", true);
    const SimTarget oldFirmware;
    ASSERT_EQ(Write({oldFirmware.ProgramSpace(), oldFirmware.DataSpace()},
                    {"--serial-at", "PFLASH:7FF0", "--serial-start", "7"})
                  .status,
              kExitSuccess);
    const CliRun run = Write(after, {"--serial-at", "PFLASH:7FF0", "--serial-start", "8",
                                     "--config", dir.Write("job.toml", "only-changed = true\n")});
    ASSERT_EQ(run.status, kExitSuccess) << run.err;
    const Traffic traffic(frames);
    EXPECT_EQ(traffic.written.size(), 1u);
    EXPECT_EQ(traffic.written.count("057F00"), 1u);
    EXPECT_EQ(after.first[0x7FF0], 8);
    // Each region's compare shows as a verify does, then the write of what differed.
    EXPECT_NE(run.err.find("Firmware Downloading...\nDFLASH Verifying...\nPFLASH Verifying...\n"
                           "PFLASH Erasing...\nPFLASH Writing...\nP2FLASH Verifying...\n"
                           "BFLASH Verifying...\n"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("PFLASH: 1 of 128 pages written\n"), std::string::npos);
}

}  // namespace
