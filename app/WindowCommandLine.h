#pragma once

#include <string>

#include "OptionTable.h"

// The window's command line: the program registers its options from the option table's rows
// for the window, and --help, the manual page and the shell completion are written from the
// same rows, so none of them can name an option the others lack. Plain C++: the manual's
// generator needs no toolkit.
namespace WindowCommandLine {

inline constexpr const char* kProgram = "vantix";
inline constexpr const char* kFileArgument = "FILE";
inline constexpr const char* kFileDescription =
    "an S-record file to load at start-up: its absolute path goes into the\n"
    "path box and its time under it, as the browse dialog does, and File\n"
    "Load runs";
inline constexpr const char* kSummary =
    "the Vantix window: program DSP56F801/803/805/807 flash through the USB pod";
inline constexpr const char* kAlreadyRunning = "vantix is already running";

// The usage line, the file argument, the options and the exit statuses, as --help prints them.
std::string HelpText();
// "vantix 1.3".
std::string VersionText();

}  // namespace WindowCommandLine
