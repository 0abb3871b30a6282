#pragma once

#include <optional>

#include "MemoryRegion.h"
#include "commandline/CommandTable.h"
#include "commandline/ImageFileOptions.h"

// dump FILE --cpu CPU: one region's words as the hex view shows them.
struct DumpOptions : CommandOptions {
    ImageFile image;
    std::optional<MemoryRegion> region;  // --region; absent: the first region the file fills
};

const CommandInfo& DumpCommand();
