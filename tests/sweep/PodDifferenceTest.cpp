// The other half of "never a success that is not one": a target or EEPROM that differs from
// the image in a single word must fail the verify of that word's region, and a pod that
// vanishes while it is found, opened or configured must be reported as unreachable.
#include <gtest/gtest.h>

#include <string>

#include "ExpectedOutcome.h"
#include "SweepChecks.h"
#include "SweepRun.h"
#include "SweepScenarios.h"

namespace {

using Kind = CommandOutcome::Kind;

// A word in the middle of the region's extent.
std::uint32_t MiddleAddress(const RegionImage& words) {
    return words.minAddress + (words.maxAddress - words.minAddress) / 2u;
}

class PodDifference : public ::testing::TestWithParam<CpuType> {};

TEST_P(PodDifference, OneDifferentTargetWordFailsThatRegionsVerify) {
    const SweepScenario clean = MakeScenario(GetParam(), SweepCommand::TargetVerify);
    const SFileImage& image = *clean.image;
    for (const MemoryRegion region : kAllRegions) {
        if (!image.IsPresent(region)) {
            continue;
        }
        SCOPED_TRACE(RegionName(region));
        SweepScenario s = clean;
        const std::uint32_t address = MiddleAddress(image.Region(region));
        auto& space = region == MemoryRegion::DFLASH ? s.start.data : s.start.program;
        space.at(address) ^= 0x0100;  // one bit programmed that the image leaves set

        SweepRun run(s, {});
        const CommandOutcome outcome = run.Execute();
        EXPECT_EQ(outcome.kind, Kind::Failed);
        EXPECT_EQ(outcome.result, 3 * RegionIndex(region) + 5);  // the region's verify error
        EXPECT_EQ(run.ui.status.shown, std::string(RegionName(region)) + " Verify Error");
        EXPECT_TRUE(run.ui.messages.lines.empty());
        EXPECT_FALSE(run.sim.IsOpen());
    }
}

TEST_P(PodDifference, OneDifferentEepromWordFailsThatRegionsPodVerify) {
    const SweepScenario clean = MakeScenario(GetParam(), SweepCommand::PodVerify);
    const SFileImage& image = *clean.image;
    for (const MemoryRegion region : kAllRegions) {
        if (!image.IsPresent(region)) {
            continue;
        }
        SCOPED_TRACE(RegionName(region));
        SweepScenario s = clean;
        const RegionImage& words = image.Region(region);
        const std::uint32_t offset = MiddleAddress(words) - words.minAddress;
        auto& block =
            s.start.blocks.at({static_cast<std::uint32_t>(RegionIndex(region)), offset / 132});
        block.at(offset % 132) ^= 0x8000;

        SweepRun run(s, {});
        const CommandOutcome outcome = run.Execute();
        EXPECT_EQ(outcome.kind, Kind::Failed);
        EXPECT_EQ(outcome.result, 2 * RegionIndex(region) + 2);  // the region's compare error
        EXPECT_EQ(run.ui.status.shown, std::string(RegionName(region)) + " EEPROM Verify Error");
        EXPECT_FALSE(run.sim.IsOpen());
    }
}

// Every D2XX call before the first frame: listing, opening, resetting and configuring.
TEST_P(PodDifference, PodThatVanishesWhileOpeningIsUnreachable) {
    const SweepScenario s = MakeScenario(GetParam(), SweepCommand::TargetWrite);
    SweepRun clean(s, {});
    ASSERT_TRUE(clean.Execute().Ok());
    int calls = 0;
    for (const CallTap::Call& call : clean.tap.Calls()) {
        if (call.name == "FT_Write") {
            break;
        }
        SCOPED_TRACE(call.name);
        SweepFault fault;
        fault.kind = SweepFault::Kind::Unplug;
        fault.call = call.number;
        SweepRun run(s, fault);
        const CommandOutcome outcome = run.Execute();
        ExpectRun(run, outcome, ExpectedOutcome::ForOpenCall(call.name), fault);
        EXPECT_TRUE(run.sim.FrameLog().empty());
        ++calls;
    }
    EXPECT_GE(calls, 10);
}

INSTANTIATE_TEST_SUITE_P(Cpus, PodDifference,
                         ::testing::Values(CpuType::DSP56F807, CpuType::DSP56F805),
                         [](const auto& info) { return std::string(CpuName(info.param)); });

}  // namespace
