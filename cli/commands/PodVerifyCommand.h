#pragma once

#include "commandline/CommandTable.h"
#include "commandline/ImageFileOptions.h"

// pod-verify FILE --cpu CPU: POD Verify, the pod's stored image compared with the file.
struct PodVerifyOptions : CommandOptions {
    FileLoad load;
    bool json = false;
};

const CommandInfo& PodVerifyCommand();
