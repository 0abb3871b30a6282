#include "commandline/GlobalOptions.h"

#include <array>

#include "OptionTable.h"

using enum ValueKind;
using enum Program;

// vantix-cli's own options, accepted before or after the command.
constexpr OptionInfo kSimulateRow = {
    Cli, nullptr, "simulate", true, Flag, nullptr,
    "use the simulated pod, at instant pace, instead of a real one\n"
    "(stderr says \"simulated pod: no board is programmed\");\n"
    "--no-simulate: the real pod, whatever the --sim-* options say",
    0, 0, nullptr};

constexpr OptionInfo kSimRealtimeRow = {
    Cli, nullptr, "sim-realtime", true, Flag, nullptr,
    "pace the simulated pod by its timing model on the real clock\n(implies --simulate)", 0, 0,
    nullptr};

constexpr OptionInfo kSimStateRow = {
    Cli, nullptr, "sim-state", false, Path, "PATH",
    "keep the simulated target memory and pod EEPROM in PATH\n"
    "between runs (created when absent; implies --simulate)",
    0, 0, nullptr};

constexpr OptionInfo kSimFillRow = {
    Cli, nullptr, "sim-fill", false, Fill, "FILL",
    "what a new simulated target holds: random (old firmware, the\n"
    "default), erased, or four hex digits (that word in every cell),\n"
    "in any letter case;\n"
    "unless erased, the new pod's EEPROM holds a stale image of\n"
    "another CPU. Ignored when --sim-state names an existing file\n"
    "(implies --simulate)",
    0, 0, "option '--sim-fill' wants erased, random or four hex digits, not '%s'"};

constexpr OptionInfo kTraceRow = {
    Cli, nullptr, "trace", false, Path, "PATH",
    "write every transfer on the wire to PATH, one line each:\n"
    "\"> 02 49 03\" sent, \"< 21\" received; made once the pod is\n"
    "reached, so a refused run leaves the last trace as it was",
    0, 0, nullptr};

constexpr OptionInfo kPodRow = {
    Cli, nullptr, "pod", false, PodSerial, "SERIAL",
    "use the pod with this serial number (see list); needed when\n"
    "several pods are attached. Each pod command locks its pod\n"
    "against other processes while it works; a simulated pod's\n"
    "lock is vantix-pod-VSIM0001-HASH.lock, HASH of the real path\n"
    "of its state file.",
    0, 0, nullptr};

constexpr OptionInfo kSimPodsRow = {
    Cli, nullptr, "sim-pods", false, Count, "N",
    "attach N simulated pods, serial numbers VSIM0001 up, each with\n"
    "its own state in PATH.SERIAL of --sim-state (implies --simulate)",
    1, 64, "--sim-pods takes a number from 1 to 64"};

constexpr OptionInfo kBoardIdRow = {
    Cli, nullptr, "board-id", false, Text, "TEXT",
    "the board's identifier (a scanned barcode, a serial number),\n"
    "written as \"board\" into its record (--json, --log); with\n"
    "--repeat it names the first board",
    0, 0, nullptr};

constexpr OptionInfo kLogRow = {
    Cli, nullptr, "log", false, Path, "FILE",
    "append each pod command's record (as --json prints it, with the\n"
    "UTC time, the host name and the run's UUID) to FILE, one JSON line\n"
    "a board; without --station-db, a board given a number has a\n"
    "started line there first",
    0, 0, nullptr};

constexpr OptionInfo kStationDbRow = {
    Cli, nullptr, "station-db", false, Text, "URL",
    "keep serial series and every board's record in this PostgreSQL\n"
    "database, which the stations of a line share: a libpq connection\n"
    "string or URI (host=db1 dbname=line user=station). Default:\n"
    "VANTIX_STATION_DB, which keeps a password out of the process list",
    0, 0, nullptr};

constexpr OptionInfo kStationRow = {
    Cli, nullptr, "station", false, Text, "NAME",
    "the station's name in the records of --station-db, which it\nneeds (default: the host name)",
    0, 0, nullptr};

constexpr OptionInfo kConfigRow = {
    Cli, nullptr, "config", false, Path, "FILE",
    "read further options from FILE, a job file: TOML 1.0 when its\n"
    "name ends in .toml, INI otherwise. Given several times, the\n"
    "files are read in order, a later file's key overriding an\n"
    "earlier one's; relative paths in each are from its own folder;\n"
    "--verbose names the file each option came from",
    0, 0, nullptr};

constexpr OptionInfo kQuietRow = {
    Cli, "q", "quiet", true, Flag, nullptr,
    "print errors only (and the boards: tally of --repeat)", 0, 0, nullptr};

constexpr OptionInfo kVerboseRow = {
    Cli, "v", "verbose", true, Flag, nullptr,
    "also print the transfers, and where each option of a job file\ncame from, on stderr", 0,
    0, nullptr};

constexpr OptionInfo kHelpRow = {
    Cli, "h", "help", false, Flag, nullptr,
    "show this text; \"COMMAND --help\" shows the command's", 0, 0, nullptr};

constexpr OptionInfo kVersionRow = {
    Cli, nullptr, "version", false, Flag, nullptr, "print the version", 0, 0, nullptr};

constexpr OptionInfo kUdevRuleRow = {
    Cli, nullptr, "udev-rule", false, Flag, nullptr,
    "print the udev rule that gives users access to the pod", 0, 0, nullptr};

namespace {

// In the order the tool's --help lists them.
constexpr std::array<const OptionInfo*, 17> kGlobalRows = {
    &kSimulateRow, &kSimRealtimeRow, &kSimStateRow, &kSimFillRow, &kTraceRow, &kPodRow,
    &kSimPodsRow, &kBoardIdRow, &kLogRow, &kStationDbRow, &kStationRow, &kConfigRow, &kQuietRow,
    &kVerboseRow, &kHelpRow, &kVersionRow, &kUdevRuleRow};

}  // namespace

std::span<const OptionInfo* const> GlobalOptionRows() {
    return kGlobalRows;
}
