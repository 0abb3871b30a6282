#pragma once

#include <string>
#include <string_view>

#include "commandline/JobFileSetting.h"

// Reads a TOML job file with a TOML 1.0 parser (toml++): comments, escapes, literal and
// multi-line strings, arrays and integers mean what TOML says. Every key of a table under a
// [section] header is a setting of that section (dots join nested headers); an inline table
// is a value of type Table. A header table adds a setting with an empty key, so that a
// section without keys is still seen. Text that is not TOML is a fault naming the file, the
// line and the key. A UTF-8 byte-order mark at the start is allowed.
JobFileReading ReadTomlJobFile(const std::string& path);
// The same over text already read, `path` naming it.
JobFileReading ReadTomlJobText(std::string_view text, const std::string& path);
