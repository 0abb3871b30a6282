#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "OptionTable.h"
#include "commandline/CliCommand.h"

class OptionReader;
struct CliContext;
struct CliParseResult;

// An option a command takes: its row, and the command's own text for it where the row's
// general text does not fit (null: the row's).
struct OptionUse {
    const OptionInfo* row;
    const char* description = nullptr;
};

// The text a command's help and manual page give the option.
const char* DescriptionOf(const OptionUse& use);

// An operand a command takes beside FILE, as its help names it.
struct OperandInfo {
    const char* name;
    const char* description;
    bool many = false;  // every further argument
};

// The options one command takes, which it reads into a struct of its own, derived from
// this one; the parser hands it on without knowing what it holds.
struct CommandOptions {
    virtual ~CommandOptions() = default;
};

// One command: what it is called, what it takes and how its help explains it.
struct CommandInfo {
    CliCommand command;
    const char* name;
    bool needsFile;           // FILE and --cpu
    bool needsCpu;            // --cpu, also without FILE
    const char* summary;      // its line in the tool's list of commands
    const char* description;  // the text under its usage line
    const char* example;
    // Its options, in the order its help lists them: a new option goes where the help should
    // show it.
    std::span<const OptionUse> options;
    // The refusal of another command's option given to it, in its own words; null, or empty,
    // for the usual "unknown option".
    std::string (*refuseForeign)(std::string_view option);
    // Reads them into the command's own options: the first refusal, or empty (null for help,
    // which the parser reads itself).
    std::string (*read)(const OptionReader& reader,
                        std::unique_ptr<CommandOptions>& options) = nullptr;
    // Runs the command the command line asked for; the exit status.
    int (*run)(const CliParseResult& parsed, const CliContext& context) = nullptr;
    // Keeps a record of each run, also of one whose command line is refused (--json, --log).
    bool keepsRecords = false;
    // Its operands beside FILE, and how its usage line shows them (" ACTION [ARGS]").
    std::span<const OperandInfo> operands = {};
    const char* usageTail = "";
    // The operand its manual page explains when it takes no FILE ("COMMAND"), or empty.
    const char* manOperand = "";
    // The words its first operand takes, for the manual page and the completions.
    std::span<const std::string_view> actions = {};
};

// The commands of the tool, with the rows of the options they take, as the parser, the help
// and the job files look them up.
class CommandSet {
public:
    explicit CommandSet(std::span<const CommandInfo> commands);

    // In the order the tool's help lists them.
    std::span<const CommandInfo> All() const { return commands_; }
    // The command of that name, or null.
    const CommandInfo* Find(std::string_view name) const;
    const CommandInfo& Of(CliCommand command) const;
    // The row of that long name, a global option's or a command's, or null.
    const OptionInfo* FindRow(std::string_view longName) const;
    // Each row that some command takes, once, in the order the commands first list them.
    std::span<const OptionInfo* const> CommandRows() const { return commandRows_; }

private:
    std::span<const CommandInfo> commands_;
    std::vector<const OptionInfo*> commandRows_;
};

// What the usage line shows after the command's name: " FILE --cpu CPU [OPTIONS]".
std::string UsageArguments(const CommandInfo& command);
