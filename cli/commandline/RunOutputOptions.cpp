#include "commandline/RunOutputOptions.h"

constexpr OptionInfo kJsonRow = {
    Program::Cli, nullptr, "json", true, ValueKind::Flag, nullptr,
    "print one JSON object on stdout: info's and list's listing, or\n"
    "the record of the run when a pod command ends, whatever the\n"
    "outcome, a refusal of its command line included (command, file,\n"
    "sha256, cpu, regions with crc32, pod, result, status, seconds,\n"
    "exit)",
    0, 0, nullptr};

constexpr OptionInfo kRepeatRow = {
    Program::Cli, nullptr, "repeat", true, ValueKind::Flag, nullptr,
    "board after board: after each one wait for Enter (q or the end\n"
    "of the input stops), print the tally \"boards: N passed, M\n"
    "failed\" and run again; exit 0 when every board passed. A line\n"
    "typed before Enter (a scanned barcode) is the next board's id;\n"
    "on a terminal, what is typed while a board runs is thrown\n"
    "away (piped input is read as given). A pod that has gone, or\n"
    "was disconnected during its board, ends the run with 3",
    0, 0, nullptr};
