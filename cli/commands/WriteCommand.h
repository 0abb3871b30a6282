#pragma once

#include <optional>

#include "commandline/CommandTable.h"
#include "commandline/GangOptions.h"
#include "commandline/ImageFileOptions.h"
#include "commandline/SerialOptions.h"
#include "commandline/TargetOptions.h"

// write and write-verify FILE --cpu CPU: Target Write, and Target Write & Verify, which
// compares each piece once written.
struct WriteOptions : CommandOptions {
    bool verify = false;  // write-verify
    FileLoad load;
    std::optional<RegionList> regions;  // absent: every region the file fills
    bool eraseAllBoot = true;           // BFLASH whole, with one frame
    bool resetAfter = false;
    // Compares first, then erases and writes only the pages that differ.
    bool onlyChanged = false;
    bool json = false;
    bool repeat = false;                    // board after board
    std::optional<SerialNumbering> serial;  // a number for each board
    std::optional<PodList> pods;
};

const CommandInfo& WriteCommand();
const CommandInfo& WriteVerifyCommand();
