#pragma once

#include <optional>

#include "CpuType.h"
#include "commandline/CommandTable.h"
#include "commandline/GangOptions.h"
#include "commandline/TargetOptions.h"

// blank-check --cpu CPU: whether the regions of the CPU's memory map are erased, a line each.
struct BlankCheckOptions : CommandOptions {
    CpuType cpu = CpuType::DSP56F807;
    std::optional<RegionList> regions;  // absent: every region of the map
    bool json = false;
    std::optional<PodList> pods;
};

const CommandInfo& BlankCheckCommand();
