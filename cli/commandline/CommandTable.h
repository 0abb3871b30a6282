#pragma once

#include <span>
#include <string_view>

#include "commandline/CliOptions.h"

// The options a command takes besides the global ones; the parser registers each on the
// commands that name it and refuses it on the others.
enum CommandOption : unsigned {
    kTakesCpu = 1u << 0,
    kTakesJson = 1u << 1,
    kTakesStrict = 1u << 2,
    kTakesRegions = 1u << 3,
    kTakesRegion = 1u << 4,
    kTakesEraseAllBoot = 1u << 5,  // --erase-all-boot and --no-erase-all-boot
    kTakesResetAfter = 1u << 6,
    kTakesRepeat = 1u << 7,
    kTakesSerialAt = 1u << 8,      // --serial-at, --serial-words, --serial-overwrite
    kTakesSerialSource = 1u << 9,  // --serial-counter, --serial-start
    kTakesSerialValue = 1u << 10,  // --serial-value
};

// One command: what it is called, what it takes and how its help explains it.
struct CommandSpec {
    CliCommand command;
    const char* name;
    bool needsFile;  // FILE and --cpu (without FILE, kTakesCpu makes --cpu required)
    unsigned options;
    const char* summary;      // its line in the tool's list of commands
    const char* description;  // the text under its usage line
    const char* example;
};

// Every command, in the order the tool's help lists them.
std::span<const CommandSpec> Commands();
// The command of that name, or null.
const CommandSpec* FindCommand(std::string_view name);
const CommandSpec& SpecOf(CliCommand command);
