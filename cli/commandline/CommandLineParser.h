#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "CpuType.h"
#include "commandline/CliCommand.h"
#include "commandline/CommandTable.h"
#include "commandline/GlobalOptions.h"
#include "commandline/JobFiles.h"

class OptionReader;

namespace CLI {
class App;
class Option;
}  // namespace CLI

// What the tool itself is asked for rather than a command: its help (or a command's), its
// version, the udev rule.
struct ToolRequest {
    bool help = false;
    CliCommand helpTopic = CliCommand::None;  // help COMMAND; None: the tool's
    bool version = false;
    bool udevRule = false;
};

// A command line refused for a command: the command and --json as far as they could be made
// out, whether --pods was given, and FILE and --cpu as far as they were read, so that the
// refusal can be printed as the run's record.
struct RefusedRun {
    CliCommand command = CliCommand::None;
    bool json = false;
    bool manyPods = false;
    std::optional<std::string> file;
    std::optional<CpuType> cpu;
};

// Everything the command line asked for.
struct CliParseResult {
    GlobalOptions global;
    ToolRequest tool;
    CliCommand command = CliCommand::None;
    // What the command itself takes, read into its own struct.
    std::shared_ptr<const CommandOptions> options;
    std::string error;  // empty when the command line is sound
    RefusedRun refused;

    // The command's own options, when they are of that type.
    template <class T>
    const T* As() const {
        return dynamic_cast<const T*>(options.get());
    }
};

// Turns the arguments (without the program name) into options, with CLI11 set up from the
// option table. Options may stand before or after the command; "--config FILE" reads more
// from a job file, which the command line overrides. Every value is read into its type here
// and refused here. Help wins over every other finding: "vantix-cli write --help" needs no
// FILE.
class CommandLineParser {
public:
    // The commands it knows, in the order its help lists them; they outlive the parser.
    explicit CommandLineParser(std::span<const CommandInfo> commands);
    ~CommandLineParser();
    CommandLineParser(const CommandLineParser&) = delete;
    CommandLineParser& operator=(const CommandLineParser&) = delete;

    CliParseResult Parse(const std::vector<std::string>& args);
    const CommandSet& Commands() const { return commands_; }
    // The usage text of the tool (None) or of a command, each with an example.
    std::string Help(CliCommand topic) const;

private:
    // The arguments as CLI11 is to read them, with what is wrong with them.
    struct PreparedArguments {
        std::vector<std::string> args;
        std::string finding;       // the first fault of an argument
        std::string missingValue;  // the last argument is an option that takes a value
    };

    PreparedArguments Prepare(const std::vector<std::string>& args) const;
    void PrepareOne(std::vector<std::string>::const_iterator arg,
                    const std::vector<std::string>& args, PreparedArguments& prepared) const;
    // Runs CLI11 over the arguments and the job file; the first finding (empty when none).
    std::string ReadArguments(const std::vector<std::string>& args);
    // The option of that long name, on the tool or on any command.
    const CLI::Option* AnyOption(const std::string& name) const;
    // The same, and the short options (-q, -v, -h).
    const CLI::Option* KnownOption(const std::string& name) const;
    bool Flag(const char* name) const;
    CliParseResult ReadHelpTopic(const CLI::App& help);
    std::string ReadGlobals();
    void ReadVerbosity();
    CliParseResult ReadCommand(const CLI::App& command, const std::vector<std::string>& args);
    // The command's FILE and CPU as far as they were read, for the record of a refused run.
    void NoteFileAndCpu(const CommandInfo& info, const OptionReader& reader);
    std::string RefuseForeignOptions(const CommandInfo& command,
                                     const std::vector<std::string>& args) const;
    CliParseResult Fail(std::string message);

    CommandSet commands_;  // before app_, whose help formatter looks commands up in it
    std::unique_ptr<CLI::App> app_;
    CliParseResult result_;
    std::string stray_;           // the first argument that is neither option nor operand
    bool readToTheEnd_ = false;   // CLI11 read everything: the job file's flags count too
    std::vector<JobFiles::Applied> jobSettings_;  // the options the job files set
};
