#pragma once

#include "commandline/CommandTable.h"

// list: the attached FTDI devices, a line each or one JSON array.
struct ListOptions : CommandOptions {
    bool json = false;
};

const CommandInfo& ListCommand();
