// Job files are read as their format says, or refused with the key named; and the command
// line's own small refusals.
#include <gtest/gtest.h>

#include "CliExit.h"
#include "CliTestSupport.h"
#include "commandline/CommandLineParser.h"
#include "commands/InfoCommand.h"
#include "commands/ResetCommand.h"
#include "commands/VerifyCommand.h"
#include "commands/WriteCommand.h"

namespace {

class JobFiles : public ::testing::Test {
protected:
    CliParseResult Parse(const std::string& name, const std::string& text,
                         std::vector<std::string> args) {
        args.insert(args.begin(), {"--config", dir.Write(name, text)});
        return ParseCommandLine(args);
    }
    ScratchDir dir;
};

TEST_F(JobFiles, AValueWithABlankOrAStrayCommaIsRefusedNamingTheKey) {
    const std::vector<std::string> info = {"info", "f.s"};
    const struct {
        std::string text;
        std::string key;
    } cases[] = {{"sim-pods = 2\npod = VSIM0001 VSIM0002\n", "'pod'"},
                 {"log = my boards.jsonl\n", "'log'"},
                 {"board-id = a b\n", "'board-id'"},
                 {"cpu = 807 805\n", "'cpu'"},
                 {"pod = VSIM0001,VSIM0002\n", "'pod'"},
                 {"regions = PFLASH BFLASH\n", "'regions'"}};
    for (const auto& c : cases) {
        for (const char* name : {"j.toml", "j.ini"}) {
            SCOPED_TRACE(std::string(name) + ": " + c.text);
            const CliParseResult parsed = Parse(name, c.text, info);
            EXPECT_EQ(parsed.error.rfind("in the job file " + dir.File(name) + ", line ", 0), 0u)
                << parsed.error;
            EXPECT_NE(parsed.error.find(c.key), std::string::npos) << parsed.error;
        }
    }
    // A list option takes commas, blanks around them, or quotes.
    for (const std::string text : {"pods = VSIM0001, VSIM0002\n", "pods = \"VSIM0001,VSIM0002\"\n",
                                   "pods = [\"VSIM0001\", \"VSIM0002\"]\n"}) {
        const CliParseResult parsed = Parse("p.ini", "sim-pods = 2\n" + text, {"reset"});
        ASSERT_EQ(parsed.error, "") << text;
        EXPECT_EQ(parsed.As<ResetOptions>()->pods, (PodList{"VSIM0001", "VSIM0002"})) << text;
    }
    const CliParseResult quoted = Parse("q.ini", "log = \"my boards.jsonl\"\n", info);
    EXPECT_EQ(quoted.global.records.logPath, dir.File("my boards.jsonl"));
    // ';' starts a comment after a value as '#' does, but not inside quotes or a word.
    const CliParseResult noted = Parse("c.ini",
                                       "cpu = 805 ; line 3\nlog = \"a ;b.jsonl\" ; c\n"
                                       "trace = w;1.log\n; a whole line\n",
                                       info);
    ASSERT_EQ(noted.error, "");
    EXPECT_EQ(noted.As<InfoOptions>()->image.cpu, CpuType::DSP56F805);
    EXPECT_EQ(noted.global.records.logPath, dir.File("a ;b.jsonl"));
    EXPECT_EQ(noted.global.pod.tracePath, dir.File("w;1.log"));
}

TEST_F(JobFiles, ValidTomlMeansWhatTomlSays) {
    const CliParseResult parsed =
        Parse("t.toml",
              "cpu = \"807\" # line 3\ntrace = \"a\\\\b.log\"\nboard-id = \"a\\\"b\"\n"
              "[ info ] # the listing\njson = true\n[write]\n"
              "regions = [ \"PFLASH\" , \"BFLASH\" ]\n",
              {"write", "f.s"});
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.As<WriteOptions>()->load.image.cpu, CpuType::DSP56F807);
    EXPECT_EQ(parsed.global.pod.tracePath, dir.File("a\\b.log"));
    EXPECT_EQ(parsed.global.records.boardId, "a\"b");
    EXPECT_EQ(parsed.As<WriteOptions>()->regions,
              (std::vector<MemoryRegion>{MemoryRegion::PFLASH, MemoryRegion::BFLASH}));
    EXPECT_TRUE(Parse("i.toml", "[info] # c\njson = true\n", {"info", "f.s", "--cpu", "807"})
                    .As<InfoOptions>()
                    ->json);
    EXPECT_EQ(Parse("n.toml", "cpu = 805\n", {"info", "f.s"}).As<InfoOptions>()->image.cpu,
              CpuType::DSP56F805);
}

TEST_F(JobFiles, ATypeAnOptionCannotTakeIsRefusedNamingTheKey) {
    const struct {
        std::string text;
        std::string says;
    } cases[] = {
        {"log = { file = \"w.jsonl\" }\n", "line 1: option 'log' takes a string, not a table"},
        {"[write]\nrepeat = 1.5\n", "line 2: option 'repeat' takes true or false, not a float"},
        {"pod = 1234\n", "line 1: option 'pod' takes a string, not an integer"},
        {"regions = [\"PFLASH\", 2]\n", "line 1: option 'regions' takes a string or an array"},
        {"cpu\n", "line 1: option 'cpu' has no value"},
        {"json = \"yes\"\n", "option 'json' takes true or false, not 'yes'"},
        {"cpu = 807\nlog = \"a\\u0000b.jsonl\"\n",
         "line 2: the value of option 'log' holds a NUL character"},
        {"regions = [\"PFLASH\", \"B\\u0000\"]\n",
         "line 1: the value of option 'regions' holds a NUL character"},
    };
    for (const auto& c : cases) {
        const CliParseResult parsed = Parse("t.toml", c.text, {"write", "f.s"});
        EXPECT_NE(parsed.error.find(c.says), std::string::npos) << parsed.error;
    }
    EXPECT_EQ(Parse("b.ini", "cpu\n", {"info", "f.s"}).error,
              "in the job file " + dir.File("b.ini") + ", line 1: option 'cpu' has no value");
}

TEST_F(JobFiles, OptionsOfEveryCommandStandUnderACommandsSection) {
    const std::string text = "cpu = \"805\"\n[write-verify]\nlog = \"w.jsonl\"\npod = \"A1\"\n";
    const CliParseResult own = Parse("s.toml", text, {"write-verify", "f.s"});
    ASSERT_EQ(own.error, "");
    EXPECT_EQ(own.global.records.logPath, dir.File("w.jsonl"));
    EXPECT_EQ(own.global.pod.serial, "A1");
    const CliParseResult other = Parse("s.toml", text, {"verify", "f.s"});
    ASSERT_EQ(other.error, "");
    EXPECT_EQ(other.global.records.logPath, "");
    EXPECT_EQ(
        Parse("s.toml", text, {"--log", "x.jsonl", "write-verify", "f.s"}).global.records.logPath,
        "x.jsonl");
}

TEST_F(JobFiles, SeveralJobFilesAreReadInOrderTheLaterOverriding) {
    ScratchDir product;
    const std::string station =
        dir.Write("station.toml", "log = \"boards.jsonl\"\nsim-state = \"pod.state\"\n"
                                  "cpu = \"805\"\n");
    const std::string release =
        product.Write("product.ini", "cpu = 807\n[write-verify]\nregions = PFLASH\n");
    const CliParseResult parsed = ParseCommandLine(
        {"--config", station, "--config", release, "write-verify", "f.s"});
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.global.records.logPath, dir.File("boards.jsonl"));
    EXPECT_EQ(parsed.global.pod.sim.statePath, dir.File("pod.state"));
    EXPECT_TRUE(parsed.global.pod.sim.simulate);
    EXPECT_EQ(parsed.As<WriteOptions>()->load.image.cpu, CpuType::DSP56F807);
    EXPECT_EQ(parsed.As<WriteOptions>()->regions, (RegionList{MemoryRegion::PFLASH}));

    const CliRun verbose = RunInProcess({"--config", station, "--config", release, "-v", "info",
                                         Example("dsp56f807.s"), "--json"});
    EXPECT_EQ(verbose.status, kExitSuccess) << verbose.err;
    for (const std::string& line : {"--cpu: from the job file " + release + ", line 1",
                                   "--log: from the job file " + station + ", line 1"}) {
        EXPECT_NE(verbose.err.find(line + "\n"), std::string::npos) << verbose.err;
    }
}

TEST_F(JobFiles, VerboseNamesWhereTheValueInUseCameFrom) {
    // The command line beats the job file whether an option stands before the command or
    // after it, and the command's section beats the top: only the value used is credited.
    const std::string file = dir.Write("c.toml", "cpu = 807\nregions = \"PFLASH\"\n");
    const CliParseResult late = ParseCommandLine(
        {"--config", file, "verify", "f.s", "--cpu", "805", "--regions", "BFLASH"});
    ASSERT_EQ(late.error, "");
    EXPECT_EQ(late.As<VerifyOptions>()->load.image.cpu, CpuType::DSP56F805);
    EXPECT_EQ(late.As<VerifyOptions>()->regions, RegionList{MemoryRegion::BFLASH});
    EXPECT_EQ(late.global.jobFiles.sources, std::vector<std::string>{});

    const std::string sections = dir.Write("s.toml", "cpu = 805\n[info]\ncpu = 807\n");
    const CliParseResult early =
        ParseCommandLine({"--config", sections, "--cpu", "803", "info", "f.s"});
    EXPECT_EQ(early.As<InfoOptions>()->image.cpu, CpuType::DSP56F803);
    EXPECT_EQ(early.global.jobFiles.sources, std::vector<std::string>{});
    const CliParseResult section = ParseCommandLine({"--config", sections, "info", "f.s"});
    EXPECT_EQ(section.As<InfoOptions>()->image.cpu, CpuType::DSP56F807);
    EXPECT_EQ(section.global.jobFiles.sources,
              std::vector<std::string>{"--cpu: from the job file " + sections + ", line 3 [info]"});
}

TEST(CommandLineRefusals, SayWhatWasMeant) {
    const CliRun dashes = RunInProcess({"info", "--", "fw.s", "--cpu", "807"});
    EXPECT_EQ(dashes.status, kExitInputError);
    EXPECT_EQ(dashes.err.rfind("vantix-cli: '--cpu' after '--' is taken as a file name\n", 0), 0u)
        << dashes.err;

    const CliRun help = RunInProcess({"help", "write", "extra"});
    EXPECT_EQ(help.status, kExitInputError);
    EXPECT_EQ(help.err.rfind("vantix-cli: unexpected argument 'extra' for 'help'\n", 0), 0u)
        << help.err;

    const CliParseResult fill = ParseCommandLine({"--sim-fill", "ERASED", "reset"});
    EXPECT_EQ(fill.error, "");
    EXPECT_EQ(fill.global.pod.sim.fill.kind, SimFill::Kind::Erased);
}

}  // namespace
