// The TOML job files of tests/cli/job-files, read by the program and by Python's tomllib, an
// independent TOML 1.0 parser: a file tomllib rejects, the program refuses, naming the file
// and the line; a file tomllib accepts gives the program the same keys with the same values.
// The program's side is ReadTomlJobFile, the reading every TOML job file goes through; the
// whole command line must then take the file too.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include <nlohmann/json.hpp>

#include "CliTestSupport.h"
#include "ChildProcess.h"
#include "commandline/CommandLineParser.h"
#include "commandline/TomlJobFile.h"

namespace {

namespace fs = std::filesystem;
using Type = JobFileSetting::Type;

nlohmann::json ValueOf(const JobFileSetting& setting) {
    switch (setting.type) {
        case Type::Text:
            return setting.values.front();
        case Type::Integer:
            return std::stoll(setting.values.front());
        case Type::Boolean:
            return setting.values.front() == "true";
        case Type::Array:
            return setting.allStrings ? nlohmann::json(setting.values)
                                      : nlohmann::json{{"type", "array"}};
        case Type::Float:
            return {{"type", "float"}};
        case Type::Date:
            return {{"type", "date"}};
        default:
            return {{"type", "table"}};
    }
}

// As toml-reference.py prints a file: keys by section, or null when it is refused.
nlohmann::json OurReading(const std::string& path) {
    const JobFileReading reading = ReadTomlJobFile(path);
    if (!reading.fault.empty()) {
        return nullptr;
    }
    nlohmann::json sections = {{"", nlohmann::json::object()}};
    for (const JobFileSetting& setting : reading.settings) {
        nlohmann::json& section = sections[setting.section];
        if (section.is_null()) {
            section = nlohmann::json::object();
        }
        if (!setting.key.empty()) {
            section[setting.key] = ValueOf(setting);
        }
    }
    return sections;
}

nlohmann::json TomllibReading(const std::vector<std::string>& paths, const ScratchDir& dir) {
    std::vector<std::string> argv = {"/usr/bin/python3", VANTIX_TOML_REFERENCE};
    argv.insert(argv.end(), paths.begin(), paths.end());
    ChildSetup setup;
    setup.outputTo = ChildSetup::Output::Files;
    setup.outFile = dir.File("tomllib.json");
    setup.errFile = dir.File("tomllib.err");
    const ChildProcess child = StartChild(argv, setup);
    const int status = WaitForExit(child.pid);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        ADD_FAILURE() << "toml-reference.py: " << ReadText(dir.File("tomllib.err"));
        return {};
    }
    return nlohmann::json::parse(ReadText(dir.File("tomllib.json")));
}

TEST(JobFileCorpus, TomllibAndTheProgramReadEveryFileAlike) {
    if (!fs::exists("/usr/bin/python3")) {
        GTEST_SKIP() << "no /usr/bin/python3 with tomllib";
    }
    std::vector<std::string> paths;
    for (const fs::directory_entry& entry : fs::directory_iterator(VANTIX_JOB_FILE_CORPUS)) {
        paths.push_back(entry.path().string());
    }
    std::sort(paths.begin(), paths.end());
    ASSERT_GE(paths.size(), 40u);
    ScratchDir dir;
    const nlohmann::json reference = TomllibReading(paths, dir);
    ASSERT_EQ(reference.size(), paths.size());
    int refused = 0;
    for (const std::string& path : paths) {
        SCOPED_TRACE(fs::path(path).filename().string());
        const nlohmann::json& want = reference.at(path);
        EXPECT_EQ(OurReading(path), want);
        const CliParseResult parsed = ParseCommandLine({"--config", path, "list"});
        if (want.is_null()) {
            ++refused;
            EXPECT_EQ(parsed.error.rfind("in the job file " + path + ", line ", 0), 0u)
                << parsed.error;
        } else {
            EXPECT_EQ(parsed.error, "");
        }
    }
    EXPECT_GE(refused, 10) << "the corpus holds bad syntax of many kinds";
    EXPECT_GE(paths.size() - refused, 10u);
}

}  // namespace
