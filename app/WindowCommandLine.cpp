#include "WindowCommandLine.h"

#include <array>

namespace WindowCommandLine {

namespace {

constexpr std::array<Option, 4> kOptions = {{
    {nullptr, "simulate", nullptr,
     "work with the simulated pod instead of USB hardware; it takes the\n"
     "time a real pod would, and the message window says so in blue"},
    {nullptr, "pod", "SERIAL",
     "use the pod with this serial number (vantix-cli list shows them);\n"
     "default: the first pod"},
    {"h", "help", nullptr, "print the options and exit"},
    {nullptr, "version", nullptr, "print the version and exit"},
}};

constexpr std::array<ExitStatus, 3> kExitStatuses = {{
    {0, "the window was closed, or --help or --version"},
    {1, "another instance is running; it is not touched"},
    {2, "command-line error, or the pod library cannot be used"},
}};

// Continuation lines of a description line up under its first line.
std::string Indented(const char* text, std::size_t column) {
    std::string out;
    for (const char* c = text; *c != '\0'; ++c) {
        out += *c;
        if (*c == '\n') {
            out.append(column, ' ');
        }
    }
    return out;
}

std::string Row(const std::string& left, const char* description) {
    constexpr std::size_t kColumn = 18;
    std::string row = "  " + left;
    row.append(row.size() < kColumn ? kColumn - row.size() : 1, ' ');
    return row + Indented(description, kColumn) + "\n";
}

}  // namespace

std::span<const Option> Options() {
    return kOptions;
}

std::span<const ExitStatus> ExitStatuses() {
    return kExitStatuses;
}

std::string HelpText() {
    std::string text = std::string("Usage: ") + kProgram + " [OPTIONS] [" + kFileArgument + "]\n" +
                       "Opens " + kSummary + ".\n\n";
    text += Row(kFileArgument, kFileDescription);
    text += "\nOptions:\n";
    for (const Option& option : kOptions) {
        std::string names = option.shortName ? std::string("-") + option.shortName + ", " : "";
        names += std::string("--") + option.longName;
        if (option.value != nullptr) {
            names += std::string(" ") + option.value;
        }
        text += Row(names, option.description);
    }
    text += "\nExit status:\n";
    for (const ExitStatus& status : kExitStatuses) {
        text += Row(std::to_string(status.code), status.meaning);
    }
    return text;
}

std::string VersionText() {
    return std::string(kProgram) + " " + VANTIX_VERSION + "\n";
}

}  // namespace WindowCommandLine
