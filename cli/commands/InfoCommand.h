#pragma once

#include "commandline/CommandTable.h"
#include "commandline/ImageFileOptions.h"

// info FILE --cpu CPU: the flash regions the file fills, as a table or one JSON object.
struct InfoOptions : CommandOptions {
    ImageFile image;
    bool strict = false;  // reader findings refuse the file
    bool json = false;
};

const CommandInfo& InfoCommand();
