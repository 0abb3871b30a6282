// info: the regions a file fills, as a table or one JSON line; a file it cannot use.
#include <gtest/gtest.h>

#include "CliExit.h"
#include "CliTestSupport.h"
#include "SRecordText.h"

namespace {

class InfoCommandTest : public ::testing::Test {
protected:
    ScratchDir dir;
};

TEST_F(InfoCommandTest, InfoListsTheRowsAsTheBufferWindowDoes) {
    const CliRun run = RunInProcess({"info", Example("dsp56f807.s"), "--cpu", "DSP56F807"});
    EXPECT_EQ(run.status, kExitSuccess);
    EXPECT_EQ(run.out,
              "Memory Name  Start Address  Data Size      CRC-32\n"
              "PFLASH       0x0004         0x7F7C Words   899af126\n"
              "P2FLASH      0x8000         0x3A0 Words    b7c1a312\n"
              "BFLASH       0xF800         0x404 Words    63b5468e\n"
              "DFLASH       0x2000         0x240 Words    e2e0b125\n"
              "SHA-256: 68f6a56e63950078e6e72b9e6d84b13b2b0555255aebc7fc818507c68c64bda9\n");
    EXPECT_EQ(run.err, "");
}

TEST_F(InfoCommandTest, InfoJsonHasItsKeysInOrder) {
    const std::string file = dir.Write("small.s", SmallDsp56f805Image());
    const CliRun run = RunInProcess({"info", file, "--cpu", "805", "--json"});
    EXPECT_EQ(run.status, kExitSuccess);
    EXPECT_EQ(run.out,
              "{\"cpu\":\"DSP56F805\","
              "\"sha256\":\"d402b9866440d5d70f05dfc470c828a88f522fc73596866bfc55fbe1ff89368f\","
              "\"regions\":["
              "{\"name\":\"PFLASH\",\"start\":4,\"end\":256,\"words\":253,"
              "\"crc32\":\"d8b57535\"},"
              "{\"name\":\"DFLASH\",\"start\":4096,\"end\":4097,\"words\":2,"
              "\"crc32\":\"8cffe3bc\"}],"
              "\"badChecksums\":0,\"nonHexRecords\":0,\"truncatedRecords\":0,"
              "\"droppedWords\":0,\"trailingText\":0,\"oddDataBytes\":0,\"s1s2Records\":0,"
              "\"recordsAfterEnd\":0,\"intelHexLines\":0,\"junkLines\":0,\"rewrittenWords\":0,"
              "\"conflictingWords\":0,\"dataRecords\":17,\"otherRecords\":0,"
              "\"noS3Records\":false,\"warnings\":0}\n");
}

TEST_F(InfoCommandTest, P2flashIsListedOnlyForTheDsp56f807) {
    const CliRun run = RunInProcess({"info", Example("dsp56f807.s"), "--cpu", "805", "--json"});
    EXPECT_EQ(run.status, kExitSuccess);
    EXPECT_EQ(run.out.find("P2FLASH"), std::string::npos);
    EXPECT_EQ(run.out.find("\"droppedWords\":0"), std::string::npos)
        << "the 807's boot and data flash lie outside the 805's";
}

TEST_F(InfoCommandTest, ReaderFindingsWarnOrWithStrictRefuse) {
    std::string bad = S3Record(4, {0x1111, 0x2222});
    bad.back() = bad.back() == '0' ? '1' : '0';  // spoil the checksum
    const std::string file = dir.Write("bad.s", bad + "\n" + S3Record(0x7E00, {0x3333}) + "\n");

    const CliRun lenient = RunInProcess({"info", file, "--cpu", "805", "--json"});
    EXPECT_EQ(lenient.status, kExitSuccess);
    EXPECT_NE(lenient.out.find("\"badChecksums\":1,\"nonHexRecords\":0,\"truncatedRecords\":0,"
                               "\"droppedWords\":1,"),
              std::string::npos)
        << lenient.out;
    EXPECT_EQ(
        lenient.err.rfind("S File warnings: 1 record with a bad checksum (first at line 1)", 0), 0u)
        << lenient.err;

    const CliRun strict = RunInProcess({"info", file, "--cpu", "805", "--strict"});
    EXPECT_EQ(strict.status, kExitInputError);
    EXPECT_EQ(strict.out, "");
    EXPECT_NE(strict.err.find("refused (--strict)"), std::string::npos);

    const CliRun quiet = RunInProcess({"-q", "info", file, "--cpu", "805"});
    EXPECT_EQ(quiet.status, kExitSuccess);
    EXPECT_EQ(quiet.err, "") << "warnings are not errors";
}

TEST_F(InfoCommandTest, FileProblemsAreInputErrors) {
    const CliRun missing = RunInProcess({"info", dir.File("none.s"), "--cpu", "807"});
    EXPECT_EQ(missing.status, kExitInputError);
    EXPECT_EQ(missing.err, "The specified S File path is wrong: " + dir.File("none.s") +
                               " (No such file or directory)\n");

    const CliRun folder = RunInProcess({"dump", dir.File(""), "--cpu", "807"});
    EXPECT_EQ(folder.status, kExitInputError);
    EXPECT_EQ(folder.err.rfind("Fail to read S File: ", 0), 0u);

    const CliRun empty = RunInProcess({"info", "", "--cpu", "807"});
    EXPECT_EQ(empty.status, kExitInputError);
    EXPECT_EQ(empty.err, "Please, specify S File to load buffer\n");

    const std::string noData = dir.Write("header.s", "S00600004844521B\nS9030000FC\n");
    const CliRun nothing = RunInProcess({"info", noData, "--cpu", "807", "--json"});
    EXPECT_EQ(nothing.status, kExitInputError);
    EXPECT_NE(nothing.out.find("\"regions\":[]"), std::string::npos);
    EXPECT_NE(nothing.err.find("holds no data for DSP56F807"), std::string::npos);
    EXPECT_EQ(RunInProcess({"dump", noData, "--cpu", "807"}).status, kExitInputError);
}

}  // namespace
