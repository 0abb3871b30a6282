#pragma once

#include <string>
#include <vector>

#include "OptionTable.h"

// What a program's manual page and shell completion say about it, gathered from the tables
// its --help is made from. Texts keep the line breaks --help shows; lines indented by two
// blanks are examples to be shown as they are.
struct UsageOption {
    std::vector<std::string> names;  // as typed: "-q", "--quiet", "--no-erase-all-boot"
    std::string value;               // what it takes ("CPU", "PATH"); empty for a flag
    ValueKind kind = ValueKind::Flag;
    std::string description;
};

struct UsageCommand {
    std::string name;
    std::string summary;
    std::string usage;  // "vantix-cli write FILE --cpu CPU [OPTIONS]"
    std::string description;
    std::string example;
    std::string operand;  // "FILE" (an S-record file), "COMMAND" or empty
    std::vector<std::string> actions;  // the words its first operand may be (station-db's)
    std::vector<UsageOption> options;
};

struct UsageEntry {
    std::string term;
    std::string text;
};

struct ProgramUsage {
    std::string name;      // "vantix-cli"
    std::string summary;   // the NAME line after the dash
    std::string synopsis;  // "[OPTIONS] COMMAND [ARGS]"
    std::vector<std::string> description;
    std::string operand;  // the window's "FILE"; empty when commands take operands
    std::string operandDescription;
    std::string optionsHeading;
    std::vector<UsageOption> options;
    std::vector<UsageCommand> commands;
    std::vector<UsageEntry> exitStatuses;
    std::vector<UsageEntry> files;
    std::vector<UsageEntry> environment;
    std::vector<UsageEntry> examples;  // term: what it shows; text: the command lines
    std::vector<std::string> seeAlso;  // "vantix(1)"
};

// Values a shell may offer for an option, chosen by what the option takes.
struct ValueChoices {
    std::vector<std::string> cpus;     // ValueKind::Cpu
    std::vector<std::string> regions;  // RegionName and RegionList (comma-separated)
    std::vector<std::string> fills;    // Fill
};

// The two programs, as their tables describe them.
ProgramUsage CliUsage();
ProgramUsage WindowUsage();
ValueChoices Choices();

// An option of the table as the manual and the shells name it.
UsageOption UsageOf(const OptionInfo& option, const char* description);
// A program's exit statuses as the table tells them.
std::vector<UsageEntry> ExitStatusEntries(Program program);
