#pragma once

#include "OptionTable.h"

// The rows of the options that say how a command reports its runs: --json, --repeat.
extern const OptionInfo kJsonRow;
extern const OptionInfo kRepeatRow;
