#pragma once

#include "run/BoardCommand.h"

struct CliOptions;

// The board command of the options the command line gave, by the command's name.
BoardCommand BoardCommandOf(const CliOptions& options, const char* name);
