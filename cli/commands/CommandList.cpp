#include "commands/CommandList.h"

#include <array>

#include "commands/BlankCheckCommand.h"
#include "commands/DumpCommand.h"
#include "commands/EraseCommand.h"
#include "commands/HelpCommand.h"
#include "commands/InfoCommand.h"
#include "commands/ListCommand.h"
#include "commands/PodInfoCommand.h"
#include "commands/PodVerifyCommand.h"
#include "commands/PodWriteCommand.h"
#include "commands/ReportCommand.h"
#include "commands/ResetCommand.h"
#include "commands/StationDbCommand.h"
#include "commands/VerifyCommand.h"
#include "commands/WriteCommand.h"

std::span<const CommandInfo> CliCommands() {
    // Made at its first use, after every command's own entry.
    static const auto commands = std::to_array<CommandInfo>({
        InfoCommand(),
        DumpCommand(),
        WriteCommand(),
        WriteVerifyCommand(),
        VerifyCommand(),
        ResetCommand(),
        PodWriteCommand(),
        PodVerifyCommand(),
        PodInfoCommand(),
        ListCommand(),
        EraseCommand(),
        BlankCheckCommand(),
        StationDbCommand(),
        ReportCommand(),
        HelpCommand(),
    });
    return commands;
}
