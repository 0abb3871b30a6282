#include "SweepChecks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SFileImage.h"
#include "SweepScenarios.h"

using Kind = CommandOutcome::Kind;
using FaultKind = SweepFault::Kind;

namespace {

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool IsSequenceCommand(SweepCommand command) {
    return command != SweepCommand::TargetReset;
}

}  // namespace

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

    const LoadedImage& loaded = SweepImage(s.image->cpu);
    EXPECT_TRUE(ImageWords(*s.image) == loaded.words) << "the loaded image changed";
    EXPECT_TRUE(ImageExtents(*s.image) == loaded.extents) << "the loaded image changed";

    if (outcome.kind == Kind::Succeeded || outcome.kind == Kind::ResetFailed) {
        if (s.command == SweepCommand::TargetWrite ||
            s.command == SweepCommand::TargetWriteVerify || s.command == SweepCommand::PodWrite) {
            ExpectPodHoldsImage(run);
        }
    }
}
