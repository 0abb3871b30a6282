#pragma once

#include <span>

#include "commandline/CommandTable.h"

// Every command of vantix-cli, in the order the tool's help lists them: the one list the
// command line, its help, the manual pages and the completions are made from.
std::span<const CommandInfo> CliCommands();
