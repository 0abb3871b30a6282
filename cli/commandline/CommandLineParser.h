#pragma once

#include <memory>
#include <string>
#include <vector>

#include "commandline/CliOptions.h"

namespace CLI {
class App;
class Error;
class Option;
}  // namespace CLI

struct CliParseResult {
    CliOptions options;
    std::string error;  // empty when the command line is sound
};

// Turns the arguments (without the program name) into options, with CLI11. Options may stand
// before or after the command; "--config FILE" reads more from a job file, which the command
// line overrides. Help wins over every other finding: "vantix-cli write --help" needs no FILE.
class CommandLineParser {
public:
    CommandLineParser();
    ~CommandLineParser();
    CommandLineParser(const CommandLineParser&) = delete;
    CommandLineParser& operator=(const CommandLineParser&) = delete;

    CliParseResult Parse(const std::vector<std::string>& args);
    // The usage text of the tool (None) or of a command, each with an example.
    std::string Help(CliCommand topic) const;
    // Every option and command as CLI11 holds them: the manual page and the shell completion
    // are written from this.
    const CLI::App& Tool() const { return *app_; }

private:
    void AddGlobalOptions();
    std::vector<std::string> Prepare(const std::vector<std::string>& args,
                                     std::string& finding) const;
    // The first fault of the job file the arguments name: a key given twice, a section that
    // is no command, a flag that is not true or false, an empty value. Empty when sound.
    std::string CheckJobFile(const std::vector<std::string>& prepared) const;
    // The option of that long name, on the tool or on any command.
    const CLI::Option* AnyOption(const std::string& name) const;
    // The same, and the short options (-q, -v, -h).
    const CLI::Option* KnownOption(const std::string& name) const;
    void ReadGlobals();
    CliParseResult ReadCommand(const CLI::App& command, const std::vector<std::string>& args,
                               const std::string& stray);
    std::string JobFileError(const CLI::Error& error) const;
    // A relative path of the job file, as seen from the job file's folder.
    std::string FromJobFileFolder(const std::string& path) const;
    CliParseResult Fail(std::string message);

    std::unique_ptr<CLI::App> app_;
    // CLI11 writes the global options straight into result_.options.
    CliParseResult result_;
    bool quiet_ = false;
    bool verbose_ = false;
    std::string simFill_;  // checked once parsed, in this tool's words
    std::string simPods_;  // checked once parsed, in this tool's words
};
