#include "commandline/CommandTable.h"

#include <algorithm>
#include <array>

#include "commandline/GlobalOptions.h"
#include "commandline/ImageFileOptions.h"

CommandSet::CommandSet(std::span<const CommandInfo> commands) : commands_(commands) {
    for (const CommandInfo& command : commands_) {
        for (const OptionUse& use : command.options) {
            if (std::find(commandRows_.begin(), commandRows_.end(), use.row) ==
                commandRows_.end()) {
                commandRows_.push_back(use.row);
            }
        }
    }
}

const CommandInfo* CommandSet::Find(std::string_view name) const {
    for (const CommandInfo& command : commands_) {
        if (name == command.name) {
            return &command;
        }
    }
    return nullptr;
}

const CommandInfo& CommandSet::Of(CliCommand command) const {
    for (const CommandInfo& info : commands_) {
        if (info.command == command) {
            return info;
        }
    }
    return commands_.back();
}

const OptionInfo* CommandSet::FindRow(std::string_view longName) const {
    for (const std::span<const OptionInfo* const> rows : {GlobalOptionRows(), CommandRows()}) {
        for (const OptionInfo* row : rows) {
            if (longName == row->longName) {
                return row;
            }
        }
    }
    return nullptr;
}

const char* DescriptionOf(const OptionUse& use) {
    return use.description != nullptr ? use.description : use.row->description;
}

std::string UsageArguments(const CommandInfo& command) {
    const bool cpuOnly = !command.needsFile && command.needsCpu;
    const bool more = std::any_of(command.options.begin(), command.options.end(),
                                  [](const OptionUse& use) { return use.row != &kCpuRow; });
    return std::string(command.needsFile ? " FILE --cpu CPU" : "") + (cpuOnly ? " --cpu CPU" : "") +
           command.usageTail + (more ? " [OPTIONS]" : "");
}

