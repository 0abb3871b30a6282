// Every operation command, run once clean and then once per fault per position of its
// conversation with the pod: the pod stays silent, answers a wrong byte, objects after a T
// batch, or vanishes at the write. Each run goes through ProgrammerCommands, as the window and
// the command line run it, against the simulated pod in virtual time.
#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <tuple>

#include "CommandPositions.h"
#include "ExpectedOutcome.h"
#include "RegionRows.h"
#include "SFileImage.h"
#include "SweepChecks.h"
#include "SweepRun.h"
#include "SweepScenarios.h"

namespace {

using Kind = CommandOutcome::Kind;
using FaultKind = SweepFault::Kind;

// Long T streams are sampled: per fault kind, letter and region at most this many
// positions, spread from the first to the last.
constexpr std::size_t kPositionsPerGroup = 6;
// A silent pod costs the first device read (200 ms) and up to one more before the reply
// time-out is noticed; the rest is the close and an abort or end frame.
constexpr std::uint64_t kSilenceSlackUs = 450'000;
constexpr std::uint64_t kTailUs = 50'000;

struct Candidate {
    SweepFault fault;
    std::size_t position;
};

// Per fault kind: silence and a wrong byte where the pod answers, an objection after every
// T batch, a vanished device at every write.
std::vector<Candidate> Candidates(const std::vector<CommandPosition>& positions) {
    std::map<std::tuple<int, char, int>, std::vector<Candidate>> groups;
    for (std::size_t i = 0; i < positions.size(); ++i) {
        const CommandPosition& p = positions[i];
        const int region = p.region ? RegionIndex(*p.region) : -1;
        std::vector<SweepFault> faults;
        if (ReplyTimeoutMs(p.letter) != 0) {
            faults.push_back({FaultKind::Silence, p.letter, p.occurrence, 0, 0});
            faults.push_back({FaultKind::WrongByte, p.letter, p.occurrence, 0, 0});
        }
        if (p.batch != 0) {
            faults.push_back({FaultKind::Objection, 0, 0, p.batch, 0});
        }
        faults.push_back({FaultKind::Unplug, 0, 0, 0, p.call});
        for (const SweepFault& fault : faults) {
            groups[{static_cast<int>(fault.kind), p.letter, region}].push_back({fault, i});
        }
    }
    std::vector<Candidate> chosen;
    for (const auto& [key, group] : groups) {
        const auto spread = Spread(group, kPositionsPerGroup);
        chosen.insert(chosen.end(), spread.begin(), spread.end());
    }
    return chosen;
}

class FaultSweep : public ::testing::TestWithParam<std::tuple<CpuType, SweepCommand>> {};

TEST_P(FaultSweep, EveryFaultAtEveryPositionEndsAsItShould) {
    const auto [cpu, command] = GetParam();
    const SweepScenario s = MakeScenario(cpu, command);

    SweepRun clean(s, {});
    const CommandOutcome cleanOutcome = clean.Execute();
    ExpectRun(clean, cleanOutcome, ExpectedOutcome::Clean(s), {});
    ASSERT_TRUE(cleanOutcome.Ok()) << s.name;
    EXPECT_EQ(clean.sim.Counters().Refusals(), 0) << "a correct host drew a refusal";
    const std::vector<CommandPosition> positions = CommandPositions(clean.tap.Calls(), *s.image);
    ASSERT_EQ(WrittenFrames(clean.tap.Calls()), clean.sim.FrameLog());

    std::set<std::size_t> covered;
    std::set<char> letters;
    std::set<int> regions;
    int runs = 0;
    for (const Candidate& candidate : Candidates(positions)) {
        const CommandPosition& p = positions[candidate.position];
        const SweepFault& fault = candidate.fault;
        SCOPED_TRACE(s.name + ": fault " + std::to_string(static_cast<int>(fault.kind)) +
                     " at write " + std::to_string(candidate.position) + " \"" + p.frames[0] +
                     "\"");
        SweepRun run(s, fault);
        const CommandOutcome outcome = run.Execute();
        const ExpectedOutcome e = ExpectedOutcome::For(s, p, fault.kind);
        ExpectRun(run, outcome, e, fault);

        // Time: a silent pod is waited for its full reply time-out and not much longer;
        // every other fault ends the command as soon as the pod has done with the frame,
        // that is before the clean run sent its next one.
        const std::uint64_t timeoutUs = std::uint64_t{ReplyTimeoutMs(p.letter)} * 1000;
        EXPECT_LE(run.elapsedUs, clean.elapsedUs + timeoutUs + kSilenceSlackUs + kTailUs);
        if (e.failsAtPosition) {
            if (fault.kind == FaultKind::Silence) {
                EXPECT_GE(run.elapsedUs, p.atUs + timeoutUs);
                EXPECT_LE(run.elapsedUs, p.atUs + timeoutUs + kSilenceSlackUs + kTailUs);
            } else {
                const std::uint64_t next = candidate.position + 1 < positions.size()
                                               ? positions[candidate.position + 1].atUs
                                               : clean.elapsedUs;
                EXPECT_LE(run.elapsedUs, next + kTailUs);
            }
        }
        ++runs;
        covered.insert(candidate.position);
        letters.insert(p.letter);
        if (p.region) {
            regions.insert(RegionIndex(*p.region));
        }
        if (::testing::Test::HasFailure()) {
            break;  // one broken position explains itself; the rest would repeat it
        }
    }
    // Every letter of the conversation and every region it works on was hit.
    for (const CommandPosition& p :
         ::testing::Test::HasFailure() ? std::vector<CommandPosition>{} : positions) {
        EXPECT_EQ(letters.count(p.letter), 1u) << p.letter;
        if (p.region) {
            EXPECT_EQ(regions.count(RegionIndex(*p.region)), 1u);
        }
    }
    std::cout << "fault sweep (" << s.name << "): " << runs << " runs, " << covered.size()
              << " positions of " << positions.size() << ", 4 fault kinds" << std::endl;
}

INSTANTIATE_TEST_SUITE_P(
    Commands, FaultSweep,
    ::testing::Combine(::testing::Values(CpuType::DSP56F807, CpuType::DSP56F805),
                       ::testing::Values(SweepCommand::TargetWrite, SweepCommand::TargetWriteVerify,
                                         SweepCommand::TargetVerify, SweepCommand::PodWrite,
                                         SweepCommand::PodVerify, SweepCommand::TargetReset)),
    [](const auto& info) {
        return std::string(std::get<0>(info.param) == CpuType::DSP56F807 ? "Dsp56f807_"
                                                                         : "Dsp56f805_") +
               CommandName(std::get<1>(info.param));
    });

}  // namespace
