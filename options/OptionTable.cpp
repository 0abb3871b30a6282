#include "OptionTable.h"

#include <algorithm>
#include <array>

namespace {

using enum ValueKind;
using enum Program;

// The window's options; vantix-cli's stand beside its command line.
constexpr std::array<OptionInfo, 4> kOptions = {{
    {Window, nullptr, "simulate", false, Flag, nullptr,
     "work with the simulated pod instead of USB hardware; it takes the\n"
     "time a real pod would, and the message window says so in blue",
     0, 0, nullptr},
    {Window, nullptr, "pod", false, PodSerial, "SERIAL",
     "use the pod with this serial number (vantix-cli list shows them);\n"
     "default: the first pod by serial number",
     0, 0, nullptr},
    {Window, "h", "help", false, Flag, nullptr, "print the options and exit", 0, 0, nullptr},
    {Window, nullptr, "version", false, Flag, nullptr, "print the version and exit", 0, 0,
     nullptr},
}};

constexpr std::array<ExitStatusInfo, 9> kExitStatuses = {{
    {Cli, kExitSuccess, "success"},
    {Cli, kExitFailed,
     "the operation ran and failed (an error result, a failed reset, a\n"
     "simulated pod's state that cannot be saved)"},
    {Cli, kExitInputError,
     "command-line or input error (unknown option, unreadable file, no data,\n"
     "a DSP56F801 image for the pod, an unknown region, --strict findings,\n"
     "an output that is an input, several pods attached and no --pod, a\n"
     "station database without its tables or serial series, an empty\n"
     "VANTIX_STATION_DB, --station without a station database); an output\n"
     "that cannot be written (stdout, the serial counter, a report) when no\n"
     "board ran"},
    {Cli, kExitUnreachable,
     "the pod cannot be reached (no driver library, no pod, open failure, the\n"
     "pod in use by another process; list: no FTDI device attached); the pod\n"
     "was disconnected during a step, and no further board starts; the\n"
     "station database cannot be reached, refuses the login, lets it only\n"
     "read or does not answer"},
    {Cli, kExitRecordLost,
     "the board ran, but its record could not be appended to the --log file,\n"
     "printed on stdout or stored in the station database (it is spooled for\n"
     "the next run), or its --trace is incomplete; the line stops"},
    {Cli, kExitInterrupted,
     "interrupted (Ctrl+C); 143 SIGTERM, 129 SIGHUP; the pod is closed first"},
    {Window, kWindowClosed, "the window was closed, or --help or --version"},
    {Window, kWindowAlreadyRunning, "another instance is running; it is not touched"},
    {Window, kWindowCannotStart, "command-line error, or the pod library cannot be used"},
}};

// The rows of one program, which stand together in the table.
template <typename Row, std::size_t N>
std::span<const Row> RowsOf(const std::array<Row, N>& rows, Program program) {
    const auto first = std::find_if(rows.begin(), rows.end(),
                                    [program](const Row& row) { return row.program == program; });
    const auto last = std::find_if(first, rows.end(),
                                   [program](const Row& row) { return row.program != program; });
    return {first, last};
}

}  // namespace

std::span<const OptionInfo> OptionsOf(Program program) {
    return RowsOf(kOptions, program);
}

std::span<const ExitStatusInfo> ExitStatusesOf(Program program) {
    return RowsOf(kExitStatuses, program);
}
