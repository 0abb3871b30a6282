// blank-check, with the erase and the write around it, through the built vantix-cli on the
// simulated pod.
#include <gtest/gtest.h>

#include <regex>

#include "CliExit.h"
#include "CliProcess.h"

namespace {

const std::string f807 = Example("dsp56f807.s");

class BlankCheckCommandTest : public ::testing::Test {
protected:
    ScratchDir dir;
    const std::string state = dir.File("board.state");
};

TEST_F(BlankCheckCommandTest, EraseThenBlankCheckThenWrite) {
    const auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--sim-state", state});
        return RunProgram(args);
    };
    const CliRun used = run({"blank-check", "--cpu", "807", "--regions", "dflash"});
    EXPECT_EQ(used.status, kExitFailed);
    EXPECT_EQ(used.out, "DFLASH not blank: 0x2000-0x20FF differs\n");
    const std::string trace = dir.File("erase.trace");
    ASSERT_EQ(run({"--trace", trace, "erase", "--cpu", "807", "--no-erase-all-boot"}).status,
              kExitSuccess);
    // Every page once: 32 DFLASH, 128 PFLASH, 112 P2FLASH and 8 BFLASH pages (0x78 to 0x7F).
    const std::string text = ReadText(trace);
    std::size_t erases = 0;
    for (const std::string& line : Lines(text)) {
        erases += line.rfind("> 02 58 ", 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(erases, 280u);
    EXPECT_NE(text.find("> 02 58 30 41 30 30 37 46 46 30 30 30 03"), std::string::npos);

    const CliRun blank = run({"blank-check", "--cpu", "807"});
    EXPECT_EQ(blank.status, kExitSuccess) << blank.err;
    EXPECT_EQ(blank.out, "PFLASH blank\nP2FLASH blank\nBFLASH blank\nDFLASH blank\n");

    ASSERT_EQ(run({"write", f807, "--cpu", "807", "--regions", "DFLASH"}).status, kExitSuccess);
    const std::string log = dir.File("boards.jsonl");
    const CliRun written = run({"blank-check", "--cpu", "807", "--json", "--log", log});
    EXPECT_EQ(written.status, kExitFailed);
    const std::regex record(
        "\\{\"command\":\"blank-check\",\"file\":null,\"sha256\":null,\"warnings\":0,\"cpu\":\"DSP56F807\","
        "\"regions\":\\[\\{\"name\":\"PFLASH\",\"start\":0,\"end\":32767,\"words\":32768,"
        "\"crc32\":\"[0-9a-f]{8}\",\"blank\":true,\"differs\":null\\},.*"
        "\\{\"name\":\"DFLASH\",\"start\":8192,\"end\":16383,\"words\":8192,"
        "\"crc32\":\"[0-9a-f]{8}\",\"blank\":false,\"differs\":\\[8192,8447\\]\\}\\],"
        "\"pod\":\"VSIM0001\",\"board\":null,\"result\":14,\"status\":\"Flash is not "
        "blank\",.*\"exit\":1,\"release\":null\\}\n");
    EXPECT_TRUE(std::regex_match(written.out, record)) << written.out;
    EXPECT_EQ(Lines(ReadText(log)).size(), 1u);
}

}  // namespace
