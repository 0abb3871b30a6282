#pragma once

#include "commandline/CommandTable.h"

// help [COMMAND]: the tool's usage, or the usage of COMMAND. The parser reads its operand:
// help wins over everything else on the command line.
const CommandInfo& HelpCommand();
