#pragma once

#include <string>

#include "ProgramUsage.h"

// A manual page in man(7) markup, section 1.
std::string ManPage(const ProgramUsage& usage, const std::string& date, const std::string& source);
