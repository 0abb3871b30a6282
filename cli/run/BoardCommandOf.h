#pragma once

#include "run/BoardCommand.h"

struct CliOptions;

// The board command of the options the command line gave.
BoardCommand BoardCommandOf(const CliOptions& options);
