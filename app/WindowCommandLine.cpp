#include "WindowCommandLine.h"

namespace WindowCommandLine {

namespace {

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

std::string HelpText() {
    std::string text = std::string("Usage: ") + kProgram + " [OPTIONS] [" + kFileArgument + "]\n" +
                       "Opens " + kSummary + ".\n\n";
    text += Row(kFileArgument, kFileDescription);
    text += "\nOptions:\n";
    for (const OptionInfo& option : OptionsOf(Program::Window)) {
        std::string names = option.shortName ? std::string("-") + option.shortName + ", " : "";
        names += std::string("--") + option.longName;
        if (option.valueName != nullptr) {
            names += std::string(" ") + option.valueName;
        }
        text += Row(names, option.description);
    }
    text += "\nExit status:\n";
    for (const ExitStatusInfo& status : ExitStatusesOf(Program::Window)) {
        text += Row(std::to_string(status.value), status.meaning);
    }
    return text;
}

std::string VersionText() {
    return std::string(kProgram) + " " + VANTIX_VERSION + "\n";
}

}  // namespace WindowCommandLine
