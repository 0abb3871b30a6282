#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <nlohmann/json.hpp>
#include <tuple>

#include "CliExit.h"
#include "CliTestSupport.h"
#include "TestPaths.h"
#include "commandline/CommandLineParser.h"
#include "commandline/CommandTable.h"
#include "commands/BlankCheckCommand.h"
#include "commands/DumpCommand.h"
#include "commands/EraseCommand.h"
#include "commands/InfoCommand.h"
#include "commands/ListCommand.h"
#include "commands/PodInfoCommand.h"
#include "commands/PodVerifyCommand.h"
#include "commands/PodWriteCommand.h"
#include "commands/ReportCommand.h"
#include "commands/ResetCommand.h"
#include "commands/StationDbCommand.h"
#include "commands/VerifyCommand.h"
#include "commands/WriteCommand.h"

namespace {

CliParseResult Parse(const std::vector<std::string>& args) {
    return ParseCommandLine(args);
}

// What write or write-verify read; a parse that read none fails the test.
const WriteOptions& Write(const CliParseResult& parsed) {
    static const WriteOptions none;
    const WriteOptions* write = parsed.As<WriteOptions>();
    EXPECT_NE(write, nullptr) << "not write's options";
    return write != nullptr ? *write : none;
}

TEST(CommandLineParser, GlobalOptionsStandBeforeOrAfterTheCommand) {
    const CliParseResult before =
        Parse({"--simulate", "-q", "--trace", "t.log", "write", "f.s", "--cpu", "807"});
    ASSERT_EQ(before.error, "");
    EXPECT_TRUE(before.global.pod.sim.simulate);
    EXPECT_EQ(before.global.verbosity, CliVerbosity::Quiet);
    EXPECT_EQ(before.global.pod.tracePath, "t.log");
    EXPECT_EQ(before.command, CliCommand::Write);

    const CliParseResult after =
        Parse({"write", "f.s", "--cpu=dsp56f807", "--sim-state=s.bin", "--verbose"});
    ASSERT_EQ(after.error, "");
    EXPECT_TRUE(after.global.pod.sim.simulate) << "a state file means the simulated pod";
    EXPECT_EQ(after.global.pod.sim.statePath, "s.bin");
    EXPECT_EQ(after.global.verbosity, CliVerbosity::Verbose);
    EXPECT_EQ(Write(after).load.image.cpu, CpuType::DSP56F807);
    EXPECT_EQ(Write(after).load.image.path, "f.s");
}

TEST(CommandLineParser, WriteOptionsAndTheirDefaults) {
    const CliParseResult plain = Parse({"write", "f.s", "--cpu", "805"});
    ASSERT_EQ(plain.error, "");
    EXPECT_TRUE(Write(plain).eraseAllBoot);
    EXPECT_FALSE(Write(plain).resetAfter);
    EXPECT_FALSE(Write(plain).regions.has_value());

    const CliParseResult set = Parse({"write-verify", "f.s", "--cpu", "805", "--no-erase-all-boot",
                                      "--reset-after", "--regions", " PFLASH, dflash,,"});
    ASSERT_EQ(set.error, "");
    EXPECT_FALSE(Write(set).eraseAllBoot);
    EXPECT_TRUE(Write(set).resetAfter);
    ASSERT_TRUE(Write(set).regions.has_value());
    EXPECT_EQ(*Write(set).regions,
              (std::vector<MemoryRegion>{MemoryRegion::PFLASH, MemoryRegion::DFLASH}));

    const CliParseResult last =
        Parse({"pod-write", "f.s", "--cpu", "803", "--no-erase-all-boot", "--erase-all-boot"});
    EXPECT_TRUE(last.As<PodWriteOptions>()->eraseAllBoot) << "the last of the pair wins";

    const CliParseResult none = Parse({"write", "f.s", "--cpu", "805", "--regions= "});
    ASSERT_TRUE(Write(none).regions.has_value());
    EXPECT_TRUE(Write(none).regions->empty());
}

TEST(CommandLineParser, DoubleDashEndsTheOptions) {
    const CliParseResult parsed = Parse({"info", "--cpu", "803", "--", "-odd-name.s"});
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.As<InfoOptions>()->image.path, "-odd-name.s");
}

TEST(CommandLineParser, HelpWinsOverMissingArguments) {
    const CliParseResult write = Parse({"write", "--help"});
    EXPECT_EQ(write.error, "");
    EXPECT_TRUE(write.tool.help);
    EXPECT_EQ(write.tool.helpTopic, CliCommand::Write);

    const CliParseResult topic = Parse({"help", "pod-info"});
    EXPECT_EQ(topic.error, "");
    EXPECT_EQ(topic.tool.helpTopic, CliCommand::PodInfo);

    EXPECT_EQ(Parse({"--bogus", "dump", "-h"}).error, "");
}

TEST(CommandLineParser, JobFileOptionsYieldToTheCommandLine) {
    ScratchDir dir;
    const std::string job = dir.Write("station 3.ini",
                                      "# line 3, written on Windows\r\n"
                                      "cpu = 805\r\n"
                                      "trace = \"wire log.txt\"\r\n"
                                      "regions = PFLASH,BFLASH\r\n"
                                      "[write-verify]\r\n"
                                      "cpu = DSP56F807\r\n"
                                      "erase-all-boot = false\r\n");
    const CliParseResult file = Parse({"--config", job, "write-verify", "f.s"});
    ASSERT_EQ(file.error, "");
    EXPECT_EQ(Write(file).load.image.cpu, CpuType::DSP56F807)
        << "the command's section beats the top";
    EXPECT_EQ(file.global.pod.tracePath, dir.File("wire log.txt")) << "from the job file's folder";
    EXPECT_EQ(Write(file).regions,
              (std::vector<MemoryRegion>{MemoryRegion::PFLASH, MemoryRegion::BFLASH}));
    EXPECT_FALSE(Write(file).eraseAllBoot);

    const CliParseResult line = Parse({"--cpu", "803", "write-verify", "f.s", "--erase-all-boot",
                                       "--regions", "DFLASH", "--config", job});
    ASSERT_EQ(line.error, "");
    EXPECT_EQ(Write(line).load.image.cpu, CpuType::DSP56F803);
    EXPECT_TRUE(Write(line).eraseAllBoot);
    EXPECT_EQ(Write(line).regions, (std::vector<MemoryRegion>{MemoryRegion::DFLASH}));

    // The top serves every command; an option a command does not take is left unused.
    const CliParseResult info = Parse({"info", "f.s", "--config", job});
    ASSERT_EQ(info.error, "");
    EXPECT_EQ(info.As<InfoOptions>()->image.cpu, CpuType::DSP56F805);

    const CliRun typo = RunInProcess({"--config", dir.Write("typo.ini", "cpuu = 805\n"), "reset"});
    EXPECT_EQ(typo.status, kExitInputError);
    EXPECT_NE(typo.err.find("cpuu"), std::string::npos) << typo.err;
    const CliRun missing = RunInProcess({"--config", dir.File("none.ini"), "reset"});
    EXPECT_EQ(missing.status, kExitInputError);
    EXPECT_EQ(missing.err.rfind("vantix-cli: cannot read the job file " + dir.File("none.ini"), 0),
              0u)
        << missing.err;
}

// Each command reads every option its help lists: an option its reading left out would be
// accepted and then silently ignored. Every listed option appears in a case of its command.
TEST(CommandLineParser, EachCommandReadsEveryOptionItLists) {
    using Args = std::vector<std::string>;
    const std::string sha(64, 'a');
    const auto place = [](const SerialPlace& at, std::uint32_t address, int words) {
        return at.at.address == address && at.words == words && at.overwrite;
    };
    const auto sha256 = [&](const FileLoad& load) {
        return load.expected && load.expected->sha256 == sha && load.strict;
    };
    std::vector<std::pair<Args, std::function<bool(const CliParseResult&)>>> cases = {
        {{"info", "f.s", "--cpu", "807", "--json", "--strict"},
         [](const CliParseResult& p) {
             const auto* o = p.As<InfoOptions>();
             return o && o->json && o->strict;
         }},
        {{"dump", "f.s", "--cpu", "805", "--region", "dflash"},
         [](const CliParseResult& p) {
             const auto* o = p.As<DumpOptions>();
             return o && o->region == MemoryRegion::DFLASH;
         }},
        {{"write",
          "f.s",
          "--cpu",
          "807",
          "--regions",
          "PFLASH",
          "--no-erase-all-boot",
          "--reset-after",
          "--only-changed",
          "--json",
          "--repeat",
          "--pods",
          "all",
          "--serial-at",
          "PFLASH:7FF0",
          "--serial-words",
          "2",
          "--serial-overwrite",
          "--serial-start",
          "7",
          "--expect-sha256",
          sha,
          "--strict"},
         [&](const CliParseResult& p) {
             const WriteOptions& o = Write(p);
             return !o.verify && o.regions == RegionList{MemoryRegion::PFLASH} && !o.eraseAllBoot &&
                    o.resetAfter && o.onlyChanged && o.json && o.repeat && o.pods &&
                    o.pods->empty() && o.serial && place(o.serial->place, 0x7FF0, 2) &&
                    o.serial->start == 7u && sha256(o.load);
         }},
        {{"write-verify",
          "f.s",
          "--cpu",
          "807",
          "--regions",
          "PFLASH",
          "--no-erase-all-boot",
          "--reset-after",
          "--only-changed",
          "--json",
          "--repeat",
          "--pods",
          "all",
          "--serial-at",
          "PFLASH:7FF0",
          "--serial-words",
          "2",
          "--serial-overwrite",
          "--serial-counter",
          "c.txt",
          "--expect-sha256",
          sha,
          "--strict"},
         [&](const CliParseResult& p) {
             const WriteOptions& o = Write(p);
             return o.verify && o.regions && !o.eraseAllBoot && o.resetAfter && o.onlyChanged &&
                    o.json && o.repeat && o.pods && o.pods->empty() && o.serial &&
                    place(o.serial->place, 0x7FF0, 2) && o.serial->counter == "c.txt" &&
                    sha256(o.load);
         }},
        {{"verify",
          "f.s",
          "--cpu",
          "803",
          "--regions",
          "DFLASH",
          "--reset-after",
          "--json",
          "--repeat",
          "--pods",
          "all",
          "--serial-at",
          "PFLASH:10",
          "--serial-words",
          "2",
          "--serial-overwrite",
          "--serial-value",
          "9",
          "--expect-sha256",
          sha,
          "--strict"},
         [&](const CliParseResult& p) {
             const auto* o = p.As<VerifyOptions>();
             return o && o->regions && o->resetAfter && o->json && o->repeat && o->pods &&
                    o->pods->empty() && o->serial && place(o->serial->place, 0x10, 2) &&
                    o->serial->value == 9u && sha256(o->load);
         }},
        {{"reset", "--json", "--pods", "all"},
         [](const CliParseResult& p) {
             const auto* o = p.As<ResetOptions>();
             return o && o->json && o->pods && o->pods->empty();
         }},
        {{"pod-write", "f.s", "--cpu", "805", "--no-erase-all-boot", "--reset-after", "--json",
          "--expect-sha256", sha, "--strict"},
         [&](const CliParseResult& p) {
             const auto* o = p.As<PodWriteOptions>();
             return o && !o->eraseAllBoot && o->resetAfter && o->json && o->load.expected &&
                    o->load.expected->sha256 == sha && o->load.strict;
         }},
        {{"pod-verify", "f.s", "--cpu", "805", "--json", "--expect-sha256", sha, "--strict"},
         [&](const CliParseResult& p) {
             const auto* o = p.As<PodVerifyOptions>();
             return o && o->json && o->load.expected && o->load.expected->sha256 == sha &&
                    o->load.strict;
         }},
        {{"pod-info", "--json"},
         [](const CliParseResult& p) {
             const auto* o = p.As<PodInfoOptions>();
             return o && o->json;
         }},
        {{"list", "--json"},
         [](const CliParseResult& p) {
             const auto* o = p.As<ListOptions>();
             return o && o->json;
         }},
        {{"erase", "--cpu", "807", "--regions", "BFLASH", "--no-erase-all-boot", "--json", "--pods",
          "all"},
         [](const CliParseResult& p) {
             const auto* o = p.As<EraseOptions>();
             return o && o->cpu == CpuType::DSP56F807 && o->regions && !o->eraseAllBoot &&
                    o->json && o->pods && o->pods->empty();
         }},
        {{"blank-check", "--cpu", "805", "--regions", "PFLASH", "--json", "--pods", "all"},
         [](const CliParseResult& p) {
             const auto* o = p.As<BlankCheckOptions>();
             return o && o->cpu == CpuType::DSP56F805 && o->regions && o->json && o->pods &&
                    o->pods->empty();
         }},
        {{"station-db", "series", "s1", "--start", "5", "--serial-words", "2"},
         [](const CliParseResult& p) {
             const auto* o = p.As<StationDbOptions>();
             return o && o->seriesStart == 5u && o->serialWords == 2;
         }},
        {{"station-db", "release", "s1", "f.s", "--cpu", "807"},
         [](const CliParseResult& p) {
             const auto* o = p.As<StationDbOptions>();
             return o && o->cpu == CpuType::DSP56F807 && o->file == "f.s";
         }},
        {{"report", "--log", "a.jsonl", "--html", "h.html", "--csv", "c.csv", "--since",
          "2026-12-07", "--until", "2026-12-08", "--image", sha},
         [&](const CliParseResult& p) {
             const auto* o = p.As<ReportOptions>();
             return o && o->html == "h.html" && o->csv == "c.csv" && o->since && o->until &&
                    o->imageSha256 == sha;
         }},
    };
    // Where the serial numbers come from, for both commands that number boards.
    const std::tuple<const char*, const char*, std::function<bool(const CliParseResult&)>>
        sources[] = {{"--serial-counter", "c.txt",
                      [](const CliParseResult& p) {
                          return Write(p).serial && Write(p).serial->counter == "c.txt";
                      }},
                     {"--serial-series", "s1",
                      [](const CliParseResult& p) {
                          return Write(p).serial && Write(p).serial->series == "s1";
                      }},
                     {"--serial-start", "12", [](const CliParseResult& p) {
                          return Write(p).serial && Write(p).serial->start == 12u;
                      }}};
    for (const char* command : {"write", "write-verify"}) {
        for (const auto& [source, value, read] : sources) {
            cases.push_back(
                {{command, "f.s", "--cpu", "807", "--serial-at", "PFLASH:7FF0", source, value},
                 read});
        }
    }
    for (const auto& [args, read] : cases) {
        const CliParseResult parsed = Parse(args);
        EXPECT_EQ(parsed.error, "") << args[0];
        EXPECT_TRUE(read(parsed)) << args[0] << " " << args[1];
    }
    for (const CommandInfo& command : CliCommands()) {
        for (const OptionUse& use : command.options) {
            const std::string name = std::string("--") + use.row->longName;
            const std::string negated = std::string("--no-") + use.row->longName;
            EXPECT_TRUE(std::any_of(cases.begin(), cases.end(),
                                    [&](const auto& c) {
                                        const Args& a = c.first;
                                        return a[0] == command.name &&
                                               (std::find(a.begin(), a.end(), name) != a.end() ||
                                                std::find(a.begin(), a.end(), negated) != a.end());
                                    }))
                << command.name << " " << name << " has no case";
        }
    }
}

// report reads the log a job file names, from the job file's folder, unless the command line
// names its own logs.
TEST(CommandLineParser, ReportReadsTheJobFilesLogUnlessTheCommandLineNamesLogs) {
    ScratchDir dir;
    const std::string job = dir.Write("line.toml", "log = \"boards.jsonl\"\n");
    const CliParseResult fromJob = Parse({"--config", job, "report", "--csv", "b.csv"});
    ASSERT_EQ(fromJob.error, "");
    EXPECT_EQ(fromJob.As<ReportOptions>()->logs,
              std::vector<std::string>{dir.File("boards.jsonl")});
    const CliParseResult given =
        Parse({"--config", job, "report", "--log", "a.jsonl", "b.jsonl", "--csv", "b.csv"});
    ASSERT_EQ(given.error, "");
    EXPECT_EQ(given.As<ReportOptions>()->logs, (std::vector<std::string>{"a.jsonl", "b.jsonl"}));
}

// A refused command line is still a run of its command: its record says what the command was
// given, FILE and --cpu as far as they were read before the refusal, and only a command that
// keeps records prints one.
TEST(CommandLineParser, ARefusedRunKeepsWhatWasReadOfItsFileAndCpu) {
    const struct {
        std::vector<std::string> args;
        CliCommand command;
        std::optional<std::string> file;
        std::optional<CpuType> cpu;
        bool manyPods;
    } cases[] = {
        {{"write", "f.s", "--cpu", "807", "--regions", "X"},
         CliCommand::Write,
         "f.s",
         CpuType::DSP56F807,
         false},
        {{"write", "f.s", "--cpu", "999"}, CliCommand::Write, "f.s", std::nullopt, false},
        {{"verify", "--cpu", "805"}, CliCommand::Verify, std::nullopt, std::nullopt, false},
        {{"erase", "--cpu", "803", "--regions", "X", "--pods", "all"},
         CliCommand::Erase,
         std::nullopt,
         CpuType::DSP56F803,
         true},
        {{"--pod", "A", "reset", "--pods", "all"},
         CliCommand::Reset,
         std::nullopt,
         std::nullopt,
         true},
    };
    for (const auto& c : cases) {
        const CliParseResult parsed = Parse(c.args);
        EXPECT_NE(parsed.error, "") << c.args[0];
        EXPECT_EQ(parsed.refused.command, c.command) << c.args[0];
        EXPECT_EQ(parsed.refused.file, c.file) << c.args[0];
        EXPECT_EQ(parsed.refused.cpu, c.cpu) << c.args[0];
        EXPECT_EQ(parsed.refused.manyPods, c.manyPods) << c.args[0];
    }
    const CliRun erase =
        RunInProcess({"--json", "erase", "--cpu", "807", "--regions", "X", "--pods", "all"});
    EXPECT_EQ(erase.status, kExitInputError);
    const nlohmann::json records = nlohmann::json::parse(erase.out);
    ASSERT_TRUE(records.is_array() && records.size() == 1u) << erase.out;
    EXPECT_EQ(records[0]["command"], "erase");
    EXPECT_EQ(records[0]["cpu"], "DSP56F807");
    EXPECT_TRUE(records[0]["file"].is_null());
    const CliRun list = RunInProcess({"--json", "list", "extra"});
    EXPECT_EQ(list.status, kExitInputError);
    EXPECT_EQ(list.out, "") << "list keeps no record";
}

struct BadCommandLine {
    std::vector<std::string> args;
    std::string message;
    std::string hint;
};
void PrintTo(const BadCommandLine& c, std::ostream* out) {
    *out << '"' << c.message << '"';
}

class CommandLineErrors : public ::testing::TestWithParam<BadCommandLine> {};

TEST_P(CommandLineErrors, ExitWithTwoAndSayWhy) {
    const CliRun run = RunInProcess(GetParam().args);
    EXPECT_EQ(run.status, kExitInputError);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "vantix-cli: " + GetParam().message + "\n" + GetParam().hint + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Messages, CommandLineErrors,
    ::testing::Values(
        BadCommandLine{{}, "no command given", "Try 'vantix-cli --help'."},
        BadCommandLine{{"flash", "f.s"}, "unknown command 'flash'", "Try 'vantix-cli --help'."},
        BadCommandLine{{"help", "flash"}, "unknown command 'flash'", "Try 'vantix-cli --help'."},
        BadCommandLine{{"write", "f.s", "--cpu", "807", "--force"},
                       "unknown option '--force'",
                       "Try 'vantix-cli --help'."},
        BadCommandLine{{"-x", "reset"}, "unknown option '-x'", "Try 'vantix-cli --help'."},
        BadCommandLine{{"verify", "f.s", "--cpu", "807", "--erase-all-boot"},
                       "unknown option '--erase-all-boot' for 'verify'",
                       "Try 'vantix-cli verify --help'."},
        BadCommandLine{{"info", "f.s", "--cpu", "807", "--region", "PFLASH"},
                       "unknown option '--region' for 'info'",
                       "Try 'vantix-cli info --help'."},
        BadCommandLine{{"write", "--cpu", "807"},
                       "'write' needs FILE, the S-record file",
                       "Try 'vantix-cli write --help'."},
        BadCommandLine{{"write", "f.s"},
                       "'write' needs --cpu CPU (DSP56F801, DSP56F803, DSP56F805, DSP56F807 or "
                       "801, 803, 805, 807)",
                       "Try 'vantix-cli write --help'."},
        BadCommandLine{{"dump", "f.s", "--cpu", "56F807"},
                       "unknown CPU '56F807': use DSP56F801, DSP56F803, DSP56F805, DSP56F807 or "
                       "801, 803, 805, 807",
                       "Try 'vantix-cli dump --help'."},
        BadCommandLine{
            {"info", "f.s", "--cpu"}, "option '--cpu' needs a value", "Try 'vantix-cli --help'."},
        BadCommandLine{{"reset", "now"},
                       "unexpected argument 'now' for 'reset'",
                       "Try 'vantix-cli reset --help'."},
        BadCommandLine{{"info", "a.s", "b.s", "--cpu", "805"},
                       "unexpected argument 'b.s' for 'info'",
                       "Try 'vantix-cli info --help'."},
        BadCommandLine{{"--json=yes", "info", "f.s", "--cpu", "805"},
                       "option '--json' takes no value",
                       "Try 'vantix-cli --help'."}),
    // Named by the arguments, letters and digits only: "write_f_s_cpu_807_force".
    [](const auto& info) {
        std::string name;
        for (const std::string& arg : info.param.args) {
            for (const char c : arg + " ") {
                if (std::isalnum(static_cast<unsigned char>(c)) != 0) {
                    name += c;
                } else if (!name.empty() && name.back() != '_') {
                    name += '_';
                }
            }
        }
        return name.empty() ? std::string("NoArguments") : name.substr(0, name.size() - 1);
    });

// Each typed option's wrong value is refused while the command line is read, in the same
// words from the command line and from a job file: the file is never opened (it does not
// exist) and no record is printed, --json or not.
TEST(CommandLineParser, TypedValuesAreRefusedWhileParsing) {
    struct Case {
        std::vector<std::string> args;  // the command, without the option
        std::string option;             // its long name
        std::string value;
        std::string message;
        std::string hint;  // the command whose help is named, or empty for the tool's
    };
    const std::string cpus = "DSP56F801, DSP56F803, DSP56F805, DSP56F807 or 801, 803, 805, 807";
    const std::string regions = "use PFLASH, P2FLASH, BFLASH or DFLASH";
    const std::vector<std::string> write = {"write", "none.s", "--cpu", "807", "--json"};
    const std::vector<std::string> serial = {"write", "none.s", "--cpu", "807", "--json",
                                             "--serial-start", "1"};
    const Case cases[] = {
        {{"write", "none.s", "--json"}, "cpu", "56F807",
         "unknown CPU '56F807': use " + cpus, "write"},
        {write, "regions", "pflash,XFLASH", "unknown region 'XFLASH': " + regions, "write"},
        {{"erase", "--cpu", "807", "--json"}, "regions", "QFLASH",
         "unknown region 'QFLASH': " + regions, "erase"},
        {{"dump", "none.s", "--cpu", "807"}, "region", "XFLASH",
         "unknown region 'XFLASH': " + regions, "dump"},
        {serial, "serial-at", "PFLASH:zz",
         "--serial-at wants REGION:ADDRESS with the address in hex, for example PFLASH:7FF0, "
         "not 'PFLASH:zz'",
         "write"},
        {{"write", "none.s", "--cpu", "807", "--serial-at", "PFLASH:7FF0", "--serial-start", "1"},
         "serial-words", "3", "--serial-words takes 1 or 2, not '3'", "write"},
        {{"write", "none.s", "--cpu", "807", "--serial-at", "PFLASH:7FF0"}, "serial-start",
         "-1", "--serial-start takes a decimal number, not '-1'", "write"},
        {{"verify", "none.s", "--cpu", "807", "--serial-at", "PFLASH:7FF0"}, "serial-value",
         "x1", "--serial-value takes a decimal number, not 'x1'", "verify"},
        {{"reset"}, "sim-fill", "12G4",
         "option '--sim-fill' wants erased, random or four hex digits, not '12G4'", ""},
        {{"reset"}, "sim-pods", "65", "--sim-pods takes a number from 1 to 64", ""},
    };
    ScratchDir dir;
    for (const Case& c : cases) {
        const std::string expected = "vantix-cli: " + c.message + "\nTry 'vantix-cli " +
                                     (c.hint.empty() ? "" : c.hint + " ") + "--help'.\n";
        std::vector<std::string> typed = c.args;
        typed.insert(typed.end(), {"--" + c.option, c.value});
        std::vector<std::string> fromJob = c.args;
        fromJob.insert(fromJob.end(),
                       {"--config", dir.Write(c.option + ".ini", c.option + " = \"" + c.value +
                                                                     "\"\n")});
        for (const std::vector<std::string>& args : {typed, fromJob}) {
            const CliRun run = RunInProcess(args);
            EXPECT_EQ(run.status, kExitInputError) << c.message;
            EXPECT_EQ(run.err, expected);
            // With --json, the refusal is the run's record; without, stdout stays empty.
            if (std::find(args.begin(), args.end(), "--json") == args.end()) {
                EXPECT_EQ(run.out, "");
                continue;
            }
            nlohmann::json record;
            ASSERT_NO_THROW(record = nlohmann::json::parse(run.out)) << run.out;
            EXPECT_EQ(record["status"], c.message);
            EXPECT_EQ(record["exit"], kExitInputError);
        }
    }
}

TEST(CliHelp, EveryCommandHasUsageAndAnExample) {
    for (const char* command : {"info", "dump", "write", "write-verify", "verify", "reset",
                                "pod-write", "pod-verify", "pod-info", "list", "help"}) {
        const CliRun run = RunInProcess({command, "--help"});
        EXPECT_EQ(run.status, kExitSuccess) << command;
        EXPECT_EQ(run.out.rfind(std::string("Usage: vantix-cli ") + command, 0), 0u) << run.out;
        EXPECT_NE(run.out.find("Example:\n  vantix-cli"), std::string::npos) << command;
        EXPECT_EQ(run.err, "");
    }
    const CliRun tool = RunInProcess({"--help"});
    EXPECT_EQ(tool.status, kExitSuccess);
    for (const char* text : {"Usage: vantix-cli [OPTIONS] COMMAND", "--sim-state PATH",
                             "Exit status:", "130", "Example:"}) {
        EXPECT_NE(tool.out.find(text), std::string::npos) << text;
    }
}

TEST(CliHelp, VersionAndUdevRule) {
    const CliRun version = RunInProcess({"--version"});
    EXPECT_EQ(version.status, kExitSuccess);
    EXPECT_EQ(version.out.rfind("vantix-cli ", 0), 0u);

    const CliRun rule = RunInProcess({"--udev-rule"});
    EXPECT_EQ(rule.status, kExitSuccess);
    EXPECT_NE(rule.out.find("SUBSYSTEM==\"usb\", ATTRS{idVendor}==\"0403\", "
                            "ATTRS{product}==\"USB POD\", MODE=\"0660\", TAG+=\"uaccess\"\n"),
              std::string::npos);
    // The installed rule file is the same text.
    EXPECT_EQ(rule.out, ReadText(VANTIX_UDEV_RULE_FILE));
}

}  // namespace
