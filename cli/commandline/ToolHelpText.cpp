#include "commandline/ToolHelpText.h"

#include "OptionTable.h"

std::string ToolFooter() {
    // "  130  meaning", continuation lines under the meaning.
    constexpr std::size_t kValueWidth = 5;
    std::string statuses = "Exit status:";
    for (const ExitStatusInfo& status : ExitStatusesOf(Program::Cli)) {
        std::string value = std::to_string(status.value);
        value.resize(kValueWidth, ' ');
        statuses += "\n  " + value;
        for (const char* c = status.meaning; *c != '\0'; ++c) {
            statuses += *c == '\n' ? "\n" + std::string(2 + kValueWidth, ' ') : std::string(1, *c);
        }
    }
    return std::string(kToolNotes) + "\n\n" + statuses + "\n\n" + kToolExample + "\n\n" +
           kToolSerialRun;
}
