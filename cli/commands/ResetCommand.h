#pragma once

#include <optional>

#include "commandline/CommandTable.h"
#include "commandline/GangOptions.h"

// reset: Target Reset, on one pod or on several at once.
struct ResetOptions : CommandOptions {
    bool json = false;
    std::optional<PodList> pods;
};

const CommandInfo& ResetCommand();
