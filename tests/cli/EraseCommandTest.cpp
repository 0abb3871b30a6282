// erase in-process on a simulated pod.
#include <gtest/gtest.h>

#include <algorithm>

#include "CliExit.h"
#include "CliTestSupport.h"

namespace {

TEST(EraseCommandTest, ErasesOnlyTheRegionAskedFor) {
    ScriptedPod scripted;  // a simulated pod the test can script and read back
    scripted.script = [](SimulatedPod& pod) { pod.Target().Fill(SimFill::Every(0x1234)); };
    const CliRun run = RunInProcess(
        {"--simulate", "erase", "--cpu", "805", "--regions", "DFLASH"}, scripted.Environment());
    EXPECT_EQ(run.status, kExitSuccess) << run.err;
    const std::vector<std::uint16_t>& data = scripted.pod->Target().DataSpace();
    EXPECT_TRUE(std::all_of(data.begin() + 0x1000, data.begin() + 0x2000,
                            [](std::uint16_t word) { return word == 0xFFFF; }));
    EXPECT_EQ(scripted.pod->Target().ProgramSpace()[0x0004], 0x1234);
}

}  // namespace
