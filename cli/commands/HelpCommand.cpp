#include "commands/HelpCommand.h"

namespace {

constexpr OperandInfo kOperands[] = {{"COMMAND", "the command to explain"}};

constexpr CommandInfo kHelp = {
    .command = CliCommand::Help,
    .name = "help",
    .needsFile = false,
    .needsCpu = false,
    .summary = "this text, or the text of COMMAND",
    .description = "Shows the tool's usage, or the usage of COMMAND.",
    .example = "vantix-cli help write",
    .options = {},
    .refuseForeign = nullptr,
    .operands = kOperands,
    .usageTail = " [COMMAND]",
    .manOperand = "COMMAND",
};

}  // namespace

const CommandInfo& HelpCommand() {
    return kHelp;
}
