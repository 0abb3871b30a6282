#pragma once

#include "commandline/CommandTable.h"
#include "commandline/ImageFileOptions.h"

// pod-write FILE --cpu CPU: POD Write, the whole image into the pod's EEPROM.
struct PodWriteOptions : CommandOptions {
    FileLoad load;
    bool eraseAllBoot = true;  // stored for the pod's own runs
    bool resetAfter = false;
    bool json = false;
};

const CommandInfo& PodWriteCommand();
