#pragma once

#include "commandline/CommandTable.h"

// pod-info: the pod's record of the image stored in its EEPROM, as POD Verify prints it.
struct PodInfoOptions : CommandOptions {
    bool json = false;
};

const CommandInfo& PodInfoCommand();
