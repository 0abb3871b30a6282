#pragma once

#include <span>
#include <string>

// The window's command line, in one table: the program registers its options from it, and
// --help, the manual page and the shell completion are written from it, so none of them can
// name an option the others lack. Plain C++: the manual's generator needs no toolkit.
namespace WindowCommandLine {

struct Option {
    const char* shortName;  // without the dash, or null
    const char* longName;   // without the dashes
    const char* value;      // what the option takes, or null for a flag
    const char* description;
};

struct ExitStatus {
    int code;
    const char* meaning;
};

inline constexpr const char* kProgram = "vantix";
inline constexpr const char* kFileArgument = "FILE";
inline constexpr const char* kFileDescription =
    "an S-record file to load at start-up: its absolute path goes into the\n"
    "path box and its time under it, as the browse dialog does, and File\n"
    "Load runs";
inline constexpr const char* kSummary =
    "the Vantix window: program DSP56F801/803/805/807 flash through the USB pod";
inline constexpr const char* kAlreadyRunning = "vantix is already running";

std::span<const Option> Options();
std::span<const ExitStatus> ExitStatuses();

// The usage line, the file argument, the options and the exit statuses, as --help prints them.
std::string HelpText();
// "vantix 1.3".
std::string VersionText();

}  // namespace WindowCommandLine
