#include "CliHelpFormatter.h"

#include <algorithm>

#include "CommandTable.h"

namespace {

constexpr std::size_t kOptionColumn = 26;

}  // namespace

CliHelpFormatter::CliHelpFormatter() {
    column_width(kOptionColumn);
    label("Subcommands", "Commands");
}

std::string CliHelpFormatter::make_help(const CLI::App* app, std::string name,
                                        CLI::AppFormatMode mode) const {
    std::string text = make_usage(app, name) + "\n" + app->get_description() + "\n";
    text += make_groups(app, mode);
    text += make_subcommands(app, mode);
    text += "\n" + make_footer(app);
    // CLI11 separates its sections generously; one blank line is enough.
    for (std::size_t at; (at = text.find("\n\n\n")) != std::string::npos;) {
        text.erase(at, 1);
    }
    return text;
}

std::string CliHelpFormatter::make_usage(const CLI::App* app, std::string name) const {
    const CommandSpec* spec = FindCommand(app->get_name());
    if (app->get_parent() == nullptr || spec == nullptr) {
        return "Usage: " + name + " [OPTIONS] COMMAND [ARGS]\n";
    }
    return "Usage: " + name + (spec->needsFile ? " FILE --cpu CPU" : "") +
           (spec->command == CliCommand::Help ? " [COMMAND]" : "") +
           ((spec->options & ~kTakesCpu) != 0 ? " [OPTIONS]" : "") + "\n";
}

std::string CliHelpFormatter::make_subcommand(const CLI::App* sub) const {
    // The list shows each command's one-line summary; its description is its own help's.
    const CommandSpec* spec = FindCommand(sub->get_name());
    std::string line = "  " + sub->get_name();
    line.resize(std::max(line.size() + 1, column_width_), ' ');
    return line + (spec != nullptr ? spec->summary : "") + "\n";
}

std::string CliHelpFormatter::make_option_name(const CLI::Option* option, bool positional) const {
    // A negated flag shows as "--no-erase-all-boot", not with the value it stands for.
    std::string name = CLI::Formatter::make_option_name(option, positional);
    for (std::size_t open; (open = name.find('{')) != std::string::npos;) {
        name.erase(open, name.find('}', open) - open + 1);
    }
    return name;
}
