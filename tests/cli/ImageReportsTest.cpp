#include <gtest/gtest.h>

#include "CliExit.h"
#include "CliTestSupport.h"
#include "SRecordText.h"

namespace {

std::vector<std::uint16_t> Ramp(std::uint16_t first, std::size_t count) {
    std::vector<std::uint16_t> words(count);
    for (std::size_t i = 0; i < count; ++i) {
        words[i] = static_cast<std::uint16_t>(first + i);
    }
    return words;
}

// PFLASH 0x0004-0x0100 (253 words) and two DFLASH words at 0x1000 on a DSP56F805.
std::string SmallImage() {
    std::string text;
    const std::vector<std::uint16_t> words = Ramp(0x1000, 253);
    for (std::size_t i = 0; i < words.size(); i += 16) {
        const std::size_t n = std::min<std::size_t>(16, words.size() - i);
        text += S3Record(static_cast<std::uint32_t>(4 + i),
                         std::vector<std::uint16_t>(words.begin() + i, words.begin() + i + n)) +
                "\n";
    }
    text += S3Record(0x201000, {0xAAAA, 0xBBBB}) + "\n";
    return text;
}

class ImageCommands : public ::testing::Test {
protected:
    ScratchDir dir;
};

TEST_F(ImageCommands, InfoListsTheRowsAsTheBufferWindowDoes) {
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

TEST_F(ImageCommands, InfoJsonHasItsKeysInOrder) {
    const std::string file = dir.Write("small.s", SmallImage());
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

TEST_F(ImageCommands, P2flashIsListedOnlyForTheDsp56f807) {
    const CliRun run = RunInProcess({"info", Example("dsp56f807.s"), "--cpu", "805", "--json"});
    EXPECT_EQ(run.status, kExitSuccess);
    EXPECT_EQ(run.out.find("P2FLASH"), std::string::npos);
    EXPECT_EQ(run.out.find("\"droppedWords\":0"), std::string::npos)
        << "the 807's boot and data flash lie outside the 805's";
}

TEST_F(ImageCommands, ReaderFindingsWarnOrWithStrictRefuse) {
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

TEST_F(ImageCommands, FileProblemsAreInputErrors) {
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

TEST_F(ImageCommands, DumpShowsTheFirstListedRegionByDefault) {
    const std::string file = dir.Write("small.s", SmallImage());
    const CliRun run = RunInProcess({"dump", file, "--cpu", "805"});
    EXPECT_EQ(run.status, kExitSuccess);
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 0x7E00u / 8) << "the whole PFLASH of the DSP56F805";
    EXPECT_EQ(lines[0], "0000: FFFF FFFF FFFF FFFF 1000 1001 1002 1003");
    EXPECT_EQ(lines[1], "0008: 1004 1005 1006 1007 1008 1009 100A 100B");
    EXPECT_EQ(lines[32], "0100: 10FC FFFF FFFF FFFF FFFF FFFF FFFF FFFF");
    EXPECT_EQ(lines.back(), "7DF8: FFFF FFFF FFFF FFFF FFFF FFFF FFFF FFFF");
}

TEST_F(ImageCommands, DumpOfDataFlashUsesDataSpaceAddresses) {
    const std::string file = dir.Write("small.s", SmallImage());
    const CliRun run = RunInProcess({"dump", file, "--cpu", "805", "--region", "dflash"});
    EXPECT_EQ(run.status, kExitSuccess);
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 0x1000u / 8);
    EXPECT_EQ(lines[0], "1000: AAAA BBBB FFFF FFFF FFFF FFFF FFFF FFFF");
    EXPECT_EQ(lines.back(), "1FF8: FFFF FFFF FFFF FFFF FFFF FFFF FFFF FFFF");
}

TEST_F(ImageCommands, DumpRefusesRegionsTheFileDoesNotFill) {
    const std::string file = dir.Write("small.s", SmallImage());
    const CliRun absent = RunInProcess({"dump", file, "--cpu", "805", "--region", "BFLASH"});
    EXPECT_EQ(absent.status, kExitInputError);
    EXPECT_EQ(absent.out, "");
    EXPECT_EQ(absent.err, "vantix-cli: region BFLASH is not present in the file for this CPU\n");

    const CliRun unknown = RunInProcess({"dump", file, "--cpu", "805", "--region", "XFLASH"});
    EXPECT_EQ(unknown.status, kExitInputError);
    EXPECT_NE(unknown.err.find("unknown region 'XFLASH'"), std::string::npos);
}

}  // namespace
