#pragma once

#include <optional>

#include "commandline/CommandTable.h"
#include "commandline/GangOptions.h"
#include "commandline/ImageFileOptions.h"
#include "commandline/SerialOptions.h"
#include "commandline/TargetOptions.h"

// verify FILE --cpu CPU: Target Verify, the regions compared with the target's flash.
struct VerifyOptions : CommandOptions {
    FileLoad load;
    std::optional<RegionList> regions;  // absent: every region the file fills
    bool resetAfter = false;
    bool json = false;
    bool repeat = false;                // board after board
    std::optional<SerialCheck> serial;  // the number each board must hold
    std::optional<PodList> pods;
};

const CommandInfo& VerifyCommand();
