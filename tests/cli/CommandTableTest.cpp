#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "OptionTable.h"
#include "commandline/CliOptionRows.h"
#include "commandline/CommandTable.h"

namespace {

// Each command's list names the options the table marks as the command's, in the table's
// order and with the texts the command gives them, so that --help, the manual pages and the
// completions stay as they were.
TEST(CommandTable, EachCommandListsTheOptionsTheTableMarksAsItsOwn) {
    for (const CommandInfo& info : AllCommands()) {
        std::vector<std::string> marked;
        for (const OptionInfo* row : CliCommandRows()) {
            if ((info.options & row->takenBy) != 0) {
                marked.push_back(std::string(row->longName) + ": " +
                                 DescriptionFor(*row, info.name));
            }
        }
        std::vector<std::string> listed;
        for (const OptionUse& use : info.optionUses) {
            listed.push_back(std::string(use.row->longName) + ": " + DescriptionOf(use));
        }
        EXPECT_EQ(listed, marked) << info.name;
    }
}

}  // namespace
