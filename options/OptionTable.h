#pragma once

#include <cstdint>
#include <span>

#include "CliExit.h"

// The rows that describe an option of either program, vantix-cli or the window, with the
// window's options and the exit statuses of both. vantix-cli's rows stand beside its command
// line, in this form. Each program reads its options from its rows, and --help, the manual
// pages and the shell completions are written from them, so none of them can name an option
// the others lack. Plain data: the window and the manual's generator use it without CLI11.

enum class Program { Cli, Window };

// What an option's value is; the command line reads each into its type once, while parsing,
// and refuses a value that is not one.
enum class ValueKind {
    Flag,           // no value; a negatable flag also has "--no-NAME"
    Cpu,            // DSP56F807 or 807, in any letter case
    RegionName,     // one flash region, in any letter case
    RegionList,     // flash regions separated by commas
    SerialAddress,  // REGION:ADDRESS, the address in hex
    Count,          // a decimal number within the row's range
    Path,           // a file
    Text,           // anything but empty
    PodSerial,      // a pod's serial number; shells offer the attached pods
    PodList,        // all, or pods' serial numbers separated by commas
    Fill,           // what a new simulated target holds
};

struct OptionInfo {
    Program program;
    const char* shortName;  // without the dash, or null
    const char* longName;   // without the dashes
    bool negatable;         // a flag that "--no-NAME" switches off
    ValueKind kind;
    const char* valueName;  // what --help calls the value ("CPU", "PATH"); null for a flag
    const char* description;
    // Count: the values taken.
    std::uint64_t least;
    std::uint64_t most;
    // The refusal of a value that is not one, "%s" standing for the value; null where the
    // kind words it itself (CPU, regions).
    const char* refusal;
};

struct ExitStatusInfo {
    Program program;
    int value;            // CliExit, WindowExit
    const char* meaning;  // continuation lines after '\n'
};

// The window's exit statuses; vantix-cli's are CliExit.
enum WindowExit : int {
    kWindowClosed = 0,          // also after --help and --version
    kWindowAlreadyRunning = 1,  // another instance runs
    kWindowCannotStart = 2,     // command line, or a pod library that cannot be used
};

// A program's options kept here, in the order --help lists them: the window's (vantix-cli's
// are its command line's).
std::span<const OptionInfo> OptionsOf(Program program);
// A program's exit statuses, in the order --help lists them.
std::span<const ExitStatusInfo> ExitStatusesOf(Program program);
