#pragma once

#include <optional>

#include "CpuType.h"
#include "commandline/CommandTable.h"
#include "commandline/GangOptions.h"
#include "commandline/TargetOptions.h"

// erase --cpu CPU: every page of the regions of the CPU's memory map, with no file.
struct EraseOptions : CommandOptions {
    CpuType cpu = CpuType::DSP56F807;
    std::optional<RegionList> regions;  // absent: every region of the map
    bool eraseAllBoot = true;           // BFLASH whole, with one frame
    bool json = false;
    std::optional<PodList> pods;
};

const CommandInfo& EraseCommand();
