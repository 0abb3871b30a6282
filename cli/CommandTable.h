#pragma once

#include <string_view>

#include "CliOptions.h"

// Which options a command takes; the parser refuses the others.
enum CommandOption : unsigned {
    kTakesCpu = 1u << 0,
    kTakesJson = 1u << 1,
    kTakesStrict = 1u << 2,
    kTakesRegions = 1u << 3,
    kTakesRegion = 1u << 4,
    kTakesEraseAllBoot = 1u << 5,  // --erase-all-boot and --no-erase-all-boot
    kTakesResetAfter = 1u << 6,
};

struct CommandSpec {
    CliCommand command;
    const char* name;
    bool needsFile;  // FILE and --cpu
    unsigned options;
};

// The command of that name, or null.
const CommandSpec* FindCommand(std::string_view name);
const CommandSpec& SpecOf(CliCommand command);
