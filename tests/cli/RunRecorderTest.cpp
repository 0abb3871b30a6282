// Each record tells its own board's story: the figures of the image that board was given,
// and how the board ended, apart from what became of the record itself.
#include <gtest/gtest.h>

#include <filesystem>

#include <nlohmann/json.hpp>

#include "CliExit.h"
#include "CliProcess.h"

namespace {

const std::string f807 = Example("dsp56f807.s");

class BoardRecord : public ::testing::Test {
protected:
    // The records a --repeat run prints, one a line.
    static std::vector<nlohmann::json> Records(const CliRun& run) {
        std::vector<nlohmann::json> records;
        for (const std::string& line : Lines(run.out)) {
            records.push_back(nlohmann::json::parse(line));
        }
        return records;
    }
    static nlohmann::json Region(const nlohmann::json& record, const std::string& name) {
        for (const nlohmann::json& region : record["regions"]) {
            if (region["name"] == name) {
                return region;
            }
        }
        return nullptr;
    }

    ScratchDir dir;
};

TEST_F(BoardRecord, ABoardWithoutANumberCarriesNoFigureOfTheLastBoardsImage) {
    const std::string counter = dir.Write("serial.txt", "1000\n");
    OperatorInput answers({"", ""}, {{0, [&] { std::filesystem::remove(counter); }}});
    std::istream input(&answers);
    ScriptedPod scripted;
    CliEnvironment environment = scripted.Environment();
    environment.input = &input;
    const CliRun run = RunInProcess({"--simulate", "write-verify", f807, "--cpu", "807",
                                     "--serial-at", "PFLASH:7FF0", "--serial-counter", counter,
                                     "--repeat", "--json"},
                                    environment);
    EXPECT_EQ(run.status, kExitInputError) << run.err;
    const std::vector<nlohmann::json> records = Records(run);
    ASSERT_EQ(records.size(), 2u) << run.out;
    EXPECT_EQ(records[0]["serial"], 1000);
    EXPECT_TRUE(Region(records[0], "PFLASH")["crc32"].is_string());
    EXPECT_FALSE(records[1].contains("serial"));
    EXPECT_TRUE(Region(records[1], "PFLASH")["crc32"].is_null()) << records[1];
    // The region without the number holds the file's words alone, the same on every board.
    EXPECT_EQ(Region(records[1], "DFLASH")["crc32"], Region(records[0], "DFLASH")["crc32"]);
}

TEST_F(BoardRecord, ABoardThatPassedStaysPassedWhenItsRecordIsLost) {
    // Two boards on one pod, and one on each of three pods, log into a file that takes nothing.
    std::istringstream enter("\n");
    ScriptedPod scripted;
    CliEnvironment environment = scripted.Environment();
    environment.input = &enter;
    const CliRun single = RunInProcess({"--simulate", "--log", "/dev/full", "write", f807, "--cpu",
                                        "807", "--regions", "DFLASH", "--repeat", "--json"},
                                       environment);
    const CliRun gang = RunInProcess({"--sim-pods", "3", "--sim-state", dir.File("line.state"),
                                      "--pods", "all", "--log", "/dev/full", "write", f807,
                                      "--cpu", "807", "--regions", "DFLASH", "--json"});
    for (const CliRun* run : {&single, &gang}) {
        EXPECT_EQ(run->status, kExitRecordLost) << run->err;
        EXPECT_NE(run->err.find("vantix-cli: the record of this board is missing from the log "
                                "/dev/full; stopping\n"),
                  std::string::npos)
            << run->err;
    }
    EXPECT_NE(single.err.find("\nboards: 1 passed, 0 failed; 1 record lost\n"), std::string::npos)
        << single.err;
    EXPECT_EQ(nlohmann::json::parse(single.out)["exit"], kExitSuccess);
    EXPECT_NE(gang.err.find("\nboards: 3 passed, 0 failed; 3 records lost\n"), std::string::npos)
        << gang.err;
    for (const nlohmann::json& record : nlohmann::json::parse(gang.out)) {
        EXPECT_EQ(record["exit"], kExitSuccess);
        EXPECT_EQ(record["status"].get<std::string>().rfind("Flash Write Completed - ", 0), 0u);
    }
}

}  // namespace
