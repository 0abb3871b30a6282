#include "commandline/CliHelpFormatter.h"

#include "commandline/CommandTable.h"

CliHelpFormatter::CliHelpFormatter(const CommandSet& commands) : commands_(commands) {
    column_width(26);  // option names, then their text
}

std::string CliHelpFormatter::make_help(const CLI::App* app, std::string name,
                                        CLI::AppFormatMode mode) const {
    // A command's own help explains it at length; the tool's list shows the summary only.
    const CommandInfo* command = app->get_parent() ? commands_.Find(app->get_name()) : nullptr;
    std::string text = make_usage(app, name) + "\n" +
                       (command ? command->description : app->get_description()) + "\n";
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
    const CommandInfo* command = commands_.Find(app->get_name());
    if (app->get_parent() == nullptr || command == nullptr) {
        return "Usage: " + name + " [OPTIONS] COMMAND [ARGS]\n";
    }
    return "Usage: " + name + UsageArguments(*command) + "\n";
}

std::string CliHelpFormatter::make_option_name(const CLI::Option* option, bool positional) const {
    // A negated flag shows as "--no-erase-all-boot", not with the value it stands for.
    std::string name = CLI::Formatter::make_option_name(option, positional);
    for (std::size_t open; (open = name.find('{')) != std::string::npos;) {
        name.erase(open, name.find('}', open) - open + 1);
    }
    return name;
}
