#include "SweepChecks.h"

#include <gtest/gtest.h>

#include <cstdio>
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

std::string ImageDifference(const SweepRun& run) {
    const SweepScenario& s = run.scenario;
    const SFileImage& image = *s.image;
    const bool eeprom = s.command == SweepCommand::PodWrite || s.command == SweepCommand::PodVerify;
    const auto at = [](MemoryRegion region, std::uint32_t address) {
        char text[64];
        std::snprintf(text, sizeof text, "%s word at 0x%04X", RegionName(region),
                      static_cast<unsigned>(address));
        return std::string(text);
    };
    for (const MemoryRegion region : kAllRegions) {
        if (!image.IsPresent(region)) {
            continue;
        }
        const RegionImage& words = image.Region(region);
        const std::uint32_t r = static_cast<std::uint32_t>(RegionIndex(region));
        if (eeprom) {
            const auto& stored = run.sim.EepromRecord().regions[r];
            if (stored.start != words.minAddress || stored.end != words.maxAddress ||
                stored.length != words.maxAddress - words.minAddress + 1) {
                return std::string(RegionName(region)) + " extent in the EEPROM record";
            }
        }
        for (std::uint32_t a = words.minAddress; a <= words.maxAddress; ++a) {
            const std::uint16_t want = image.WordAt(region, a);
            if (!eeprom) {
                const std::uint16_t held =
                    region == MemoryRegion::DFLASH ? run.sim.DataWord(a) : run.sim.ProgramWord(a);
                if (held != want) {
                    return at(region, a);
                }
                continue;
            }
            const std::uint32_t offset = a - words.minAddress;
            const auto block = run.sim.StoredBlocks().find({r, offset / 132});
            if (block == run.sim.StoredBlocks().end() || offset % 132 >= block->second.size() ||
                block->second[offset % 132] != want) {
                return at(region, a);
            }
        }
    }
    if (eeprom) {
        const auto& record = run.sim.EepromRecord();
        if (record.marker != 'w' || record.cpu != static_cast<std::uint8_t>(image.cpu) ||
            record.option != (s.eraseAllBoot ? 1 : 0) + (s.resetAfterWrite ? 2 : 0)) {
            return "EEPROM record marker, CPU or options";
        }
    }
    return "";
}

void ExpectPodHoldsImage(const SweepRun& run) {
    EXPECT_EQ(ImageDifference(run), "");
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
