#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "CliExit.h"
#include "CliTestSupport.h"
#include "SRecordText.h"

namespace {

// One small file for each kind of text the reader must name rather than pass over.
struct FindingCase {
    const char* name;
    std::string text;
    const char* key;  // info --json's counter
    unsigned count;
    std::string warning;  // stderr
};

std::vector<FindingCase> Cases() {
    const std::string s3 = S3Record(0x0200, {0x1111, 0x2222}) + "\n";
    const std::string end = "S70500000000FA\n";
    return {
        {"S1 beside S3", "S11301001111222233334444555566667777888823\n" + s3 + end,
         "s1s2Records", 1,
         "1 S1/S2 data record ignored: only S3 records are programmed (first at line 1)"},
        {"past 0xFFFFFFFF", s3 + S3Record(0xFFFFFFFE, {0x1111, 0x2222, 0x3333, 0x4444}) + "\n",
         "droppedWords", 4, "4 words outside the CPU's flash (first at line 2)"},
        {"junk lines", s3 + "written by hand\nS4 is no record\n" + end, "junkLines", 2,
         "2 lines that are not S-records ignored (first at line 2)"},
        {"Intel HEX", ":10010000214601360121470136007EFE09D2190140\n" + s3, "intelHexLines", 1,
         "1 Intel HEX line ignored (first at line 1)"},
        {"after the checksum", s3 + S3Record(0x0300, {0x3333}) + "ABCD\n", "trailingText", 1,
         "1 record with characters after its checksum (first at line 2)"},
        {"after the end record", s3 + end + S3Record(0x0300, {0x3333}) + "\n", "recordsAfterEnd",
         1, "1 record after the end record ignored (first at line 3)"},
        {"odd data byte", "S308000000303412562B\n" + s3, "oddDataBytes", 1,
         "1 record with an odd data byte left over (first at line 1)"},
        // Header, count and end records are checked as data records are.
        {"S3 turned S7", s3 + "S709000002023333444404\n" + s3 + end, "truncatedRecords", 1,
         "1 truncated record (first at line 2)"},
        {"S0 not hex", "S0ZZ\n" + s3 + end, "nonHexRecords", 1,
         "1 record with non-hexadecimal characters (first at line 1)"},
        {"S0 longer than counted", "S0FF" + std::string(600, '0') + "\n" + s3 + end,
         "trailingText", 1, "1 record with characters after its checksum (first at line 1)"},
        {"S7 bad checksum", s3 + "S70500000000FB\n", "badChecksums", 1,
         "1 record with a bad checksum (first at line 2)"},
        {"S9 short", s3 + "S9020000FD\n", "truncatedRecords", 1,
         "1 truncated record (first at line 2)"},
        {"second end record", s3 + end + end, "recordsAfterEnd", 1,
         "1 record after the end record ignored (first at line 3)"},
        {"one word written thrice",
         S3Record(0x0300, {2}) + "\n" + S3Record(0x0300, {3}) + "\n" + S3Record(0x0300, {4}) +
             "\n",
         "conflictingWords", 1,
         "1 word written more than once with different values (first at line 2)"},
    };
}

TEST(SRecordFindings, EachKindIsCountedWarnedAndRefusedByStrict) {
    ScratchDir dir;
    for (const FindingCase& c : Cases()) {
        SCOPED_TRACE(c.name);
        const std::string file = dir.Write("f.s", c.text);
        const CliRun info = RunInProcess({"info", file, "--cpu", "807", "--json"});
        EXPECT_EQ(info.status, kExitSuccess) << info.err;
        EXPECT_EQ(info.err, "S File warnings: " + c.warning + "\n");
        const nlohmann::json json = nlohmann::json::parse(info.out, nullptr, false);
        ASSERT_TRUE(json.is_object()) << info.out;
        EXPECT_EQ(json.value(c.key, -1), static_cast<int>(c.count)) << info.out;
        EXPECT_EQ(json.value("warnings", -1), static_cast<int>(c.count)) << info.out;

        const CliRun strict = RunInProcess({"info", file, "--cpu", "807", "--strict"});
        EXPECT_EQ(strict.status, kExitInputError);
        EXPECT_EQ(strict.out, "");
    }
}

TEST(SRecordFindings, ThePodCommandsRecordCarriesTheNewCounts) {
    ScratchDir dir;
    const std::string file = dir.Write("f.s", Cases().front().text);
    const CliRun run = RunInProcess({"--simulate", "--sim-state", dir.File("pod.state"), "-q",
                                     "write-verify", file, "--cpu", "807", "--json"});
    EXPECT_EQ(run.status, kExitSuccess) << run.err;
    const nlohmann::json record = nlohmann::json::parse(run.out, nullptr, false);
    EXPECT_EQ(record.value("warnings", -1), 1) << run.out;
}

TEST(SRecordFindings, NoWordWrapsIntoTheResetVector) {
    ScratchDir dir;
    const std::string file =
        dir.Write("wrap.s", S3Record(0xFFFFFFFE, {0x1111, 0x2222, 0x3333, 0x4444}) + "\n" +
                                S3Record(0xF804, {0x5555}) + "\n");
    const CliRun dump = RunInProcess({"dump", file, "--cpu", "807", "--region", "BFLASH"});
    EXPECT_EQ(dump.status, kExitSuccess) << dump.err;
    EXPECT_EQ(dump.out.rfind("F800: FFFF FFFF FFFF FFFF 5555 FFFF FFFF FFFF\n", 0), 0u) << dump.out;
}

}  // namespace
