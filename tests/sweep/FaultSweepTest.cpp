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
#include "SweepRun.h"

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

struct LoadedImage {
    SFileImage image;
    std::vector<RegionListItem> list;
    std::vector<std::uint16_t> words;  // every word of every region, to see it unchanged
    std::vector<std::uint16_t> extents;
};

std::vector<std::uint16_t> Extents(const SFileImage& image) {
    std::vector<std::uint16_t> extents = {static_cast<std::uint16_t>(image.cpu)};
    for (const RegionImage& region : image.regions) {
        extents.insert(extents.end(), {region.minAddress, region.maxAddress, region.wordCount,
                                       static_cast<std::uint16_t>(region.loaded)});
    }
    return extents;
}

std::vector<std::uint16_t> Words(const SFileImage& image) {
    std::vector<std::uint16_t> words;
    for (const RegionImage& region : image.regions) {
        words.insert(words.end(), region.words, region.words + region.capacity);
    }
    return words;
}

const LoadedImage& Image(CpuType cpu) {
    static std::map<CpuType, std::unique_ptr<LoadedImage>> images;
    auto& loaded = images[cpu];
    if (!loaded) {
        loaded = std::make_unique<LoadedImage>();
        SFileImage& image = loaded->image;
        image.cpu = cpu;
        image.ApplyCpuMemoryMap();
        const std::string file = cpu == CpuType::DSP56F807 ? "dsp56f807.s" : "dsp56f805.s";
        EXPECT_TRUE(image.ReadSFile(std::string(VANTIX_EXAMPLES_DIR) + "/" + file));
        for (const RegionRow& row : ListPresentRegions(image)) {
            loaded->list.push_back({row.name, true});
        }
        loaded->words = Words(image);
        loaded->extents = Extents(image);
    }
    return *loaded;
}

const char* CommandName(SweepCommand command) {
    switch (command) {
        case SweepCommand::TargetWrite:
            return "TargetWrite";
        case SweepCommand::TargetWriteVerify:
            return "TargetWriteVerify";
        case SweepCommand::TargetVerify:
            return "TargetVerify";
        case SweepCommand::PodWrite:
            return "PodWrite";
        case SweepCommand::PodVerify:
            return "PodVerify";
        case SweepCommand::TargetReset:
            return "TargetReset";
    }
    return "";
}

// The 807 runs with the whole boot flash erased, the 805 page by page; both reset the target
// after writing, so the R frame is part of every target conversation.
SweepScenario Scenario(CpuType cpu, SweepCommand command) {
    const LoadedImage& loaded = Image(cpu);
    SweepScenario s;
    s.name = std::string(CpuName(cpu)) + " " + CommandName(command);
    s.image = &loaded.image;
    s.command = command;
    s.eraseAllBoot = cpu == CpuType::DSP56F807;
    s.resetAfterWrite = true;
    s.list = loaded.list;
    // Verifying needs something to compare with: the target as a clean Target Write left it,
    // the EEPROM as a clean POD Write left it.
    if (command == SweepCommand::TargetVerify || command == SweepCommand::PodVerify) {
        SweepScenario writer = s;
        writer.command = command == SweepCommand::TargetVerify ? SweepCommand::TargetWrite
                                                               : SweepCommand::PodWrite;
        SweepRun run(writer, {});
        EXPECT_TRUE(run.Execute().Ok());
        s.start = run.PodState();
    }
    return s;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// A write command that claims success left the target or the EEPROM holding the image.
void ExpectPodHoldsImage(const SweepRun& run) {
    const SweepScenario& s = run.scenario;
    const SFileImage& image = *s.image;
    for (const MemoryRegion region : kAllRegions) {
        if (!image.IsPresent(region)) {
            continue;
        }
        const RegionImage& words = image.Region(region);
        if (s.command == SweepCommand::PodWrite) {
            const auto& stored = run.sim.EepromRecord().regions[RegionIndex(region)];
            ASSERT_EQ(stored.start, words.minAddress) << RegionName(region);
            ASSERT_EQ(stored.end, words.maxAddress) << RegionName(region);
            ASSERT_EQ(stored.length, words.wordCount) << RegionName(region);
            for (std::uint32_t a = words.minAddress; a <= words.maxAddress; ++a) {
                const std::uint32_t offset = a - words.minAddress;
                const auto block = run.sim.StoredBlocks().find(
                    {static_cast<std::uint32_t>(RegionIndex(region)), offset / 132});
                ASSERT_NE(block, run.sim.StoredBlocks().end())
                    << RegionName(region) << " block " << offset / 132;
                ASSERT_EQ(block->second.at(offset % 132), image.WordAt(region, a));
            }
            continue;
        }
        for (std::uint32_t a = words.minAddress; a <= words.maxAddress; ++a) {
            const std::uint16_t onTarget =
                region == MemoryRegion::DFLASH ? run.sim.DataWord(a) : run.sim.ProgramWord(a);
            ASSERT_EQ(onTarget, image.WordAt(region, a))
                << RegionName(region) << " at " << std::hex << a;
        }
    }
    if (s.command == SweepCommand::PodWrite) {
        EXPECT_EQ(run.sim.EepromRecord().marker, 'w');
        EXPECT_EQ(run.sim.EepromRecord().cpu, static_cast<std::uint8_t>(image.cpu));
        EXPECT_EQ(run.sim.EepromRecord().option,
                  (s.eraseAllBoot ? 1 : 0) + (s.resetAfterWrite ? 2 : 0));
    }
}

bool IsSequenceCommand(SweepCommand command) {
    return command != SweepCommand::TargetReset;
}

// Everything a run must show: outcome, texts, lamps, busy state, a closed pod, an untouched
// image, a pod that holds the image when success is claimed.
void ExpectRun(SweepRun& run, const CommandOutcome& outcome, const ExpectedOutcome& e,
               const SweepFault& fault) {
    const SweepScenario& s = run.scenario;
    EXPECT_EQ(static_cast<int>(outcome.kind), static_cast<int>(e.kind));
    EXPECT_EQ(outcome.result, e.result);
    const std::string& shown = run.ui.status.shown;
    if (e.statusIsPrefix) {
        EXPECT_TRUE(StartsWith(shown, e.status) && shown.size() > e.status.size() + 4 &&
                    shown.compare(shown.size() - 4, 4, " sec") == 0)
            << shown;
    } else {
        EXPECT_EQ(shown, e.status);
    }
    EXPECT_EQ(run.ui.messages.lines, e.messages);
    EXPECT_EQ(run.ui.LedPattern(), e.leds);

    const bool ranSequence = e.kind != Kind::Unreachable && IsSequenceCommand(s.command);
    const std::vector<bool> busy =
        ranSequence ? std::vector<bool>{true, false} : std::vector<bool>{};
    EXPECT_EQ(run.ui.busyChanges, busy);
    if (ranSequence) {
        EXPECT_EQ(run.ui.progress.position, 0);
    }

    const auto& calls = run.tap.Calls();
    if (fault.kind == FaultKind::Unplug) {
        // Nothing answers any more; the driver must still have tried to close, unless the
        // pod was never opened.
        bool opened = false;
        bool closeTried = false;
        for (const CallTap::Call& call : calls) {
            opened = opened || (call.name == "FT_OpenEx" && call.status == FT_OK);
            closeTried = closeTried || (call.name == "FT_Close" && call.number > fault.call);
        }
        EXPECT_TRUE(!opened || closeTried);
    } else {
        EXPECT_FALSE(run.sim.IsOpen());
        EXPECT_FALSE(run.pod.IsOpen());
        ASSERT_GE(calls.size(), 2u);
        EXPECT_EQ(calls.back().name, "FT_Close");
        if (e.kind != Kind::Unreachable) {
            const CallTap::Call& purge = calls[calls.size() - 2];
            EXPECT_EQ(purge.name, "FT_Purge");
            EXPECT_EQ(purge.mask, FT_PURGE_RX | FT_PURGE_TX);
        }
    }

    const LoadedImage& loaded = Image(s.image->cpu);
    EXPECT_TRUE(Words(*s.image) == loaded.words) << "the loaded image changed";
    EXPECT_TRUE(Extents(*s.image) == loaded.extents) << "the loaded image changed";

    if (outcome.kind == Kind::Succeeded || outcome.kind == Kind::ResetFailed) {
        if (s.command == SweepCommand::TargetWrite ||
            s.command == SweepCommand::TargetWriteVerify || s.command == SweepCommand::PodWrite) {
            ExpectPodHoldsImage(run);
        }
    }
}

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
        const std::size_t n = group.size();
        const std::size_t take = std::min(n, kPositionsPerGroup);
        for (std::size_t k = 0; k < take; ++k) {
            chosen.push_back(group[take == 1 ? 0 : k * (n - 1) / (take - 1)]);
        }
    }
    return chosen;
}

class FaultSweep : public ::testing::TestWithParam<std::tuple<CpuType, SweepCommand>> {};

TEST_P(FaultSweep, EveryFaultAtEveryPositionEndsAsItShould) {
    const auto [cpu, command] = GetParam();
    const SweepScenario s = Scenario(cpu, command);

    SweepRun clean(s, {});
    const CommandOutcome cleanOutcome = clean.Execute();
    ExpectRun(clean, cleanOutcome, ExpectedOutcome::Clean(s), {});
    ASSERT_TRUE(cleanOutcome.Ok()) << s.name;
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
