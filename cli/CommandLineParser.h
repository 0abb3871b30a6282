#pragma once

#include <string>
#include <vector>

#include "CliOptions.h"

struct CliParseResult {
    CliOptions options;
    std::string error;  // empty when the command line is sound
};

// Turns the arguments (without the program name) into options. Global options may stand
// before or after the command; "--name value" and "--name=value" both work, and "--" ends
// the options. Help and version requests win over every other finding, so
// "vantix-cli write --help" works without FILE.
class CommandLineParser {
public:
    CliParseResult Parse(const std::vector<std::string>& args);

private:
    struct CommandOptionUse {
        std::string name;
        unsigned kind;
    };

    bool ParseLong(const std::string& arg, const std::vector<std::string>& args, std::size_t& i);
    bool ParseShort(const std::string& arg);
    bool TakeValue(const std::string& name, const std::string* inlineValue,
                   const std::vector<std::string>& args, std::size_t& i, std::string& value);
    bool Fail(std::string message);
    void Validate();
    void ValidateCommandOptions(unsigned accepted, const char* commandName);
    void ValidateOperands();

    CliParseResult result_;
    std::vector<std::string> operands_;
    std::vector<CommandOptionUse> used_;
    std::string cpuText_;
    bool cpuGiven_ = false;
};
