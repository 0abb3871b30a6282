#pragma once

#include <string>

#include "commandline/JobFileSetting.h"

// Reads a job file that is not TOML as an INI file, the way CLI11 reads one: "key = value"
// lines under [section] headers, '#' and ';' comments, quotes taken off, a value with commas
// (or, without commas, blanks) split into a list, a key alone a flag that is true. A quote
// that is not closed and a key given twice in a section are faults. Each setting keeps its
// value as written, so that a value split at a blank can be told from a list.
JobFileReading ReadIniJobFile(const std::string& path);
