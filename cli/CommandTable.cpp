#include "CommandTable.h"

#include <array>

namespace {

constexpr unsigned kTargetWriteOptions =
    kTakesCpu | kTakesStrict | kTakesRegions | kTakesEraseAllBoot | kTakesResetAfter;

constexpr std::array<CommandSpec, 11> kCommands = {{
    {CliCommand::Info, "info", true, kTakesCpu | kTakesJson | kTakesStrict},
    {CliCommand::Dump, "dump", true, kTakesCpu | kTakesRegion},
    {CliCommand::Write, "write", true, kTargetWriteOptions},
    {CliCommand::WriteVerify, "write-verify", true, kTargetWriteOptions},
    {CliCommand::Verify, "verify", true,
     kTakesCpu | kTakesStrict | kTakesRegions | kTakesResetAfter},
    {CliCommand::Reset, "reset", false, 0},
    {CliCommand::PodWrite, "pod-write", true,
     kTakesCpu | kTakesStrict | kTakesEraseAllBoot | kTakesResetAfter},
    {CliCommand::PodVerify, "pod-verify", true, kTakesCpu | kTakesStrict},
    {CliCommand::PodInfo, "pod-info", false, 0},
    {CliCommand::List, "list", false, 0},
    {CliCommand::Help, "help", false, 0},
}};

}  // namespace

const CommandSpec* FindCommand(std::string_view name) {
    for (const CommandSpec& spec : kCommands) {
        if (name == spec.name) {
            return &spec;
        }
    }
    return nullptr;
}

const CommandSpec& SpecOf(CliCommand command) {
    for (const CommandSpec& spec : kCommands) {
        if (spec.command == command) {
            return spec;
        }
    }
    return kCommands.back();
}
