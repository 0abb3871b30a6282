#pragma once

#include <string>

#include <CLI/CLI.hpp>

class CommandSet;

// Lays out the help of the tool and of each command: the usage line first (scripts and
// people look for "Usage: vantix-cli COMMAND FILE --cpu CPU"), then what it does, its
// options, the commands (for the tool) and the footer with an example.
class CliHelpFormatter final : public CLI::Formatter {
public:
    // `commands` outlives the formatter.
    explicit CliHelpFormatter(const CommandSet& commands);

    std::string make_help(const CLI::App* app, std::string name,
                          CLI::AppFormatMode mode) const override;
    std::string make_usage(const CLI::App* app, std::string name) const override;
    std::string make_option_name(const CLI::Option* option, bool positional) const override;

private:
    const CommandSet& commands_;
};
