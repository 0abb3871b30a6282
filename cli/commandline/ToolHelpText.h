#pragma once

#include <string>

// The texts of vantix-cli's help around its options and commands; the manual page tells
// the same.
inline constexpr const char* kToolDescription =
    "Programs the flash of Motorola DSP56F801/803/805/807 controllers through the USB\n"
    "programming pod, for scripts and production lines.";

// What every command shares: where output goes, job files, flags.
inline constexpr const char* kToolNotes =
    "Messages and progress go to stderr, data (info, dump, list, pod-info) to stdout.\n"
    "A job file holds \"name = value\" lines: at the top for every command, under [COMMAND]\n"
    "for that command; the command line overrides it. Quote values with blanks or commas.\n"
    "Every flag has a --no-FLAG form that switches it off (--no-reset-after).";

inline constexpr const char* kToolExample =
    "Example:\n  vantix-cli write firmware.s --cpu 807 --reset-after";

inline constexpr const char* kToolSerialRun =
    "A serialised production run: stations share the counter and the log.\n"
    "  vantix-cli write-verify firmware.s --cpu 807 --serial-at PFLASH:7FF0 \\\n"
    "    --serial-counter /srv/line/serial.txt --repeat --log /srv/line/boards.jsonl";

// Under each command's help.
inline constexpr const char* kGlobalPointer =
    "Global options (--pod, --log, --config, --simulate, --board-id, --quiet, ...) go\n"
    "before or after COMMAND: see 'vantix-cli --help'.";

// The tool's footer: the notes, the exit statuses of the option table, the examples.
std::string ToolFooter();
