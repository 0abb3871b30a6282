#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <string_view>

#include "OptionTable.h"
#include "commandline/CommandTable.h"
#include "commandline/GlobalOptions.h"
#include "commands/CommandList.h"

namespace {

// The parser registers each command's options on the command, a hidden copy of every
// command's option on the tool, and the global options; a name given twice makes CLI11 throw
// while the parser is built, and every run would fail. So a command names each option once,
// each long name has one row, and no command's option shares a name with a global one.
TEST(CommandTable, EachOptionNameHasOneRowAndEachCommandNamesItOnce) {
    const CommandSet commands(CliCommands());
    for (const CommandInfo& info : commands.All()) {
        std::set<std::string_view> names;
        for (const OptionUse& use : info.options) {
            EXPECT_TRUE(names.insert(use.row->longName).second)
                << info.name << " lists --" << use.row->longName << " twice";
        }
    }
    std::map<std::string_view, const OptionInfo*> global;
    std::set<std::string_view> shortNames;
    for (const OptionInfo* row : GlobalOptionRows()) {
        EXPECT_TRUE(global.emplace(row->longName, row).second) << "--" << row->longName;
        EXPECT_TRUE(row->shortName == nullptr || shortNames.insert(row->shortName).second)
            << "-" << row->shortName;
    }
    std::map<std::string_view, const OptionInfo*> command;
    for (const OptionInfo* row : commands.CommandRows()) {
        EXPECT_FALSE(global.contains(row->longName))
            << "--" << row->longName << " is a command's option and a global one";
        EXPECT_TRUE(command.emplace(row->longName, row).second)
            << "--" << row->longName << " has two rows";
        EXPECT_TRUE(row->shortName == nullptr || shortNames.insert(row->shortName).second)
            << "-" << row->shortName;
    }
}

}  // namespace
