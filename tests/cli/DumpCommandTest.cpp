// dump: one region as the hex view lays it out.
#include <gtest/gtest.h>

#include "CliExit.h"
#include "CliTestSupport.h"
#include "SRecordText.h"

namespace {

class DumpCommandTest : public ::testing::Test {
protected:
    ScratchDir dir;
};

TEST_F(DumpCommandTest, DumpShowsTheFirstListedRegionByDefault) {
    const std::string file = dir.Write("small.s", SmallDsp56f805Image());
    const CliRun run = RunInProcess({"dump", file, "--cpu", "805"});
    EXPECT_EQ(run.status, kExitSuccess);
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 0x7E00u / 8) << "the whole PFLASH of the DSP56F805";
    EXPECT_EQ(lines[0], "0000: FFFF FFFF FFFF FFFF 1000 1001 1002 1003");
    EXPECT_EQ(lines[1], "0008: 1004 1005 1006 1007 1008 1009 100A 100B");
    EXPECT_EQ(lines[32], "0100: 10FC FFFF FFFF FFFF FFFF FFFF FFFF FFFF");
    EXPECT_EQ(lines.back(), "7DF8: FFFF FFFF FFFF FFFF FFFF FFFF FFFF FFFF");
}

TEST_F(DumpCommandTest, DumpOfDataFlashUsesDataSpaceAddresses) {
    const std::string file = dir.Write("small.s", SmallDsp56f805Image());
    const CliRun run = RunInProcess({"dump", file, "--cpu", "805", "--region", "dflash"});
    EXPECT_EQ(run.status, kExitSuccess);
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 0x1000u / 8);
    EXPECT_EQ(lines[0], "1000: AAAA BBBB FFFF FFFF FFFF FFFF FFFF FFFF");
    EXPECT_EQ(lines.back(), "1FF8: FFFF FFFF FFFF FFFF FFFF FFFF FFFF FFFF");
}

TEST_F(DumpCommandTest, DumpRefusesRegionsTheFileDoesNotFill) {
    const std::string file = dir.Write("small.s", SmallDsp56f805Image());
    const CliRun absent = RunInProcess({"dump", file, "--cpu", "805", "--region", "BFLASH"});
    EXPECT_EQ(absent.status, kExitInputError);
    EXPECT_EQ(absent.out, "");
    EXPECT_EQ(absent.err, "vantix-cli: region BFLASH is not present in the file for this CPU\n");

    const CliRun unknown = RunInProcess({"dump", file, "--cpu", "805", "--region", "XFLASH"});
    EXPECT_EQ(unknown.status, kExitInputError);
    EXPECT_NE(unknown.err.find("unknown region 'XFLASH'"), std::string::npos);
}

}  // namespace
