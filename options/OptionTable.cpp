#include "OptionTable.h"

#include <algorithm>
#include <array>
#include <limits>

namespace {

using enum ValueKind;
using enum Program;

constexpr std::uint64_t kAny = std::numeric_limits<std::uint64_t>::max();

// Each program's rows stand together, vantix-cli's first.
constexpr std::array<OptionInfo, 45> kOptions = {{
    // vantix-cli's own options, accepted before or after the command.
    {Cli, nullptr, "simulate", true, Flag, nullptr, 0,
     "use the simulated pod, at instant pace, instead of a real one\n"
     "(stderr says \"simulated pod: no board is programmed\");\n"
     "--no-simulate: the real pod, whatever the --sim-* options say",
     0, 0, nullptr},
    {Cli, nullptr, "sim-realtime", true, Flag, nullptr, 0,
     "pace the simulated pod by its timing model on the real clock\n(implies --simulate)", 0, 0,
     nullptr},
    {Cli, nullptr, "sim-state", false, Path, "PATH", 0,
     "keep the simulated target memory and pod EEPROM in PATH\n"
     "between runs (created when absent; implies --simulate)",
     0, 0, nullptr},
    {Cli, nullptr, "sim-fill", false, Fill, "FILL", 0,
     "what a new simulated target holds: random (old firmware, the\n"
     "default), erased, or four hex digits (that word in every cell),\n"
     "in any letter case;\n"
     "unless erased, the new pod's EEPROM holds a stale image of\n"
     "another CPU. Ignored when --sim-state names an existing file\n"
     "(implies --simulate)",
     0, 0, "option '--sim-fill' wants erased, random or four hex digits, not '%s'"},
    {Cli, nullptr, "trace", false, Path, "PATH", 0,
     "write every transfer on the wire to PATH, one line each:\n"
     "\"> 02 49 03\" sent, \"< 21\" received; made once the pod is\n"
     "reached, so a refused run leaves the last trace as it was",
     0, 0, nullptr},
    {Cli, nullptr, "pod", false, PodSerial, "SERIAL", 0,
     "use the pod with this serial number (see list); needed when\n"
     "several pods are attached. Each pod command locks its pod\n"
     "against other processes while it works; a simulated pod's\n"
     "lock is vantix-pod-VSIM0001-HASH.lock, HASH of the real path\n"
     "of its state file.",
     0, 0, nullptr},
    {Cli, nullptr, "sim-pods", false, Count, "N", 0,
     "attach N simulated pods, serial numbers VSIM0001 up, each with\n"
     "its own state in PATH.SERIAL of --sim-state (implies --simulate)",
     1, 64, "--sim-pods takes a number from 1 to 64"},
    {Cli, nullptr, "board-id", false, Text, "TEXT", 0,
     "the board's identifier (a scanned barcode, a serial number),\n"
     "written as \"board\" into its record (--json, --log); with\n"
     "--repeat it names the first board",
     0, 0, nullptr},
    {Cli, nullptr, "log", false, Path, "FILE", 0,
     "append each pod command's record (as --json prints it, with the\n"
     "UTC time, the host name and the run's UUID) to FILE, one JSON line\n"
     "a board; without --station-db, a board given a number has a\n"
     "started line there first",
     0, 0, nullptr},
    {Cli, nullptr, "station-db", false, Text, "URL", 0,
     "keep serial series and every board's record in this PostgreSQL\n"
     "database, which the stations of a line share: a libpq connection\n"
     "string or URI (host=db1 dbname=line user=station). Default:\n"
     "VANTIX_STATION_DB, which keeps a password out of the process list",
     0, 0, nullptr},
    {Cli, nullptr, "station", false, Text, "NAME", 0,
     "the station's name in the records of --station-db, which it\nneeds (default: the host name)", 0, 0,
     nullptr},
    {Cli, nullptr, "config", false, Path, "FILE", 0,
     "read further options from FILE, a job file: TOML 1.0 when its\n"
     "name ends in .toml, INI otherwise. Given several times, the\n"
     "files are read in order, a later file's key overriding an\n"
     "earlier one's; relative paths in each are from its own folder;\n"
     "--verbose names the file each option came from",
     0, 0, nullptr},
    {Cli, "q", "quiet", true, Flag, nullptr, 0,
     "print errors only (and the boards: tally of --repeat)", 0, 0, nullptr},
    {Cli, "v", "verbose", true, Flag, nullptr, 0,
     "also print the transfers, and where each option of a job file\ncame from, on stderr", 0,
     0, nullptr},
    {Cli, "h", "help", false, Flag, nullptr, 0,
     "show this text; \"COMMAND --help\" shows the command's", 0, 0, nullptr},
    {Cli, nullptr, "version", false, Flag, nullptr, 0, "print the version", 0, 0, nullptr},
    {Cli, nullptr, "udev-rule", false, Flag, nullptr, 0,
     "print the udev rule that gives users access to the pod", 0, 0, nullptr},

    // The options of the commands, in the order their help lists them.
    {Cli, nullptr, "cpu", false, Cpu, "CPU", kTakesCpu,
     "DSP56F801, DSP56F803, DSP56F805, DSP56F807 or 801, 803,\n805, 807, in any letter case; a "
     "DSP56F801 file is read and\nviewed (info, dump), never programmed",
     0, 0, nullptr},
    {Cli, nullptr, "region", false, RegionName, "NAME", kTakesRegion,
     "PFLASH, P2FLASH, BFLASH or DFLASH (a region the file fills);\n"
     "default: the first region info lists",
     0, 0, nullptr},
    {Cli, nullptr, "regions", false, RegionList, "LIST", kTakesRegions,
     "comma-separated region names to process (PFLASH, P2FLASH,\n"
     "BFLASH, DFLASH, any letter case); default: every region the\n"
     "file fills (erase, blank-check: every region of the CPU's\n"
     "map). The regions always go in the order DFLASH, PFLASH,\nP2FLASH, BFLASH.",
     0, 0, nullptr},
    {Cli, nullptr, "erase-all-boot", true, Flag, nullptr, kTakesEraseAllBoot,
     "erase the whole boot flash before writing BFLASH (default),\n"
     "or only the boot flash pages the image touches",
     0, 0, nullptr},
    {Cli, nullptr, "reset-after", true, Flag, nullptr, kTakesResetAfter,
     "reset the target board after success", 0, 0, nullptr},
    {Cli, nullptr, "only-changed", true, Flag, nullptr, kTakesOnlyChanged,
     "erase and write only the pages that differ: the pod first\n"
     "compares every page with the image (as verify does), then\n"
     "erases and writes those that differ. Pays on a board that\n"
     "already holds most of the image (about 0.45x the time of the\n"
     "plain command). Costs on a blank board or one with other\n"
     "firmware: every page differs, so the compare comes on top of\n"
     "the full write, about 1.45x the plain command's time. Prints\n"
     "\"PFLASH: 3 of 120 pages written\" per region; records add each\n"
     "region's pages",
     0, 0, nullptr},
    {Cli, nullptr, "json", true, Flag, nullptr, kTakesJson,
     "print one JSON object on stdout: info's and list's listing, or\n"
     "the record of the run when a pod command ends, whatever the\n"
     "outcome, a refusal of its command line included (command, file,\n"
     "sha256, cpu, regions with crc32, pod, result, status, seconds,\n"
     "exit)",
     0, 0, nullptr},
    {Cli, nullptr, "repeat", true, Flag, nullptr, kTakesRepeat,
     "board after board: after each one wait for Enter (q or the end\n"
     "of the input stops), print the tally \"boards: N passed, M\n"
     "failed\" and run again; exit 0 when every board passed. A line\n"
     "typed before Enter (a scanned barcode) is the next board's id;\n"
     "on a terminal, what is typed while a board runs is thrown\n"
     "away (piped input is read as given). A pod that has gone, or\n"
     "was disconnected during its board, ends the run with 3",
     0, 0, nullptr},
    {Cli, nullptr, "pods", false, PodList, "all|SERIAL,...", kTakesPods,
     "run the command on several pods at once, a board on each: all\n"
     "(every pod list marks \"pod\", in the order of their serial\n"
     "numbers) or serial numbers separated by commas (in the order\n"
     "given). Each pod works under its own lock; a pod in use or\n"
     "missing is reported and the others go on. Each board has its\n"
     "record (--json: one array; --log: a line each) and its own\n"
     "serial number; --trace PATH writes PATH.SERIAL per pod and\n"
     "--board-id takes one id per pod, in pod order (A,B,...).\n"
     "stderr shows a line per pod, then one line per board and the\n"
     "tally. Exit 0 when every board passed, 1 when any failed, 3\n"
     "when no pod could be reached. With --repeat the prompt takes\n"
     "one board id per pod, in pod order, or x to leave out the\n"
     "pods whose board failed",
     0, 0, nullptr},
    {Cli, nullptr, "serial-at", false, SerialAddress, "REGION:ADDRESS", kTakesSerialAt,
     "write each board's serial number into the word at ADDRESS\n"
     "(hex) of REGION, patched into the loaded image (the file is\n"
     "not changed); refused when a record of the file fills it",
     0, 0,
     "--serial-at wants REGION:ADDRESS with the address in hex, for example PFLASH:7FF0, "
     "not '%s'"},
    {Cli, nullptr, "serial-words", false, Count, "1|2", kTakesSerialAt | kTakesSeries,
     "width of the serial number: 1 word (default) or 2, low word\nfirst", 1, 2,
     "--serial-words takes 1 or 2, not '%s'"},
    {Cli, nullptr, "serial-overwrite", true, Flag, nullptr, kTakesSerialAt,
     "let the serial number replace words the file fills", 0, 0, nullptr},
    {Cli, nullptr, "serial-counter", false, Path, "FILE", kTakesSerialSource,
     "take each number from FILE, a text file holding the next\n"
     "number, which stations may share; taken under a lock and\n"
     "written back before the board is touched, never reused",
     0, 0, nullptr},
    {Cli, nullptr, "serial-series", false, Text, "NAME", kTakesSerialSource,
     "take each number from the serial series NAME of --station-db\n"
     "(see station-db series), committed there with the run's UUID\n"
     "before the board is touched, never reused",
     0, 0, nullptr},
    {Cli, nullptr, "serial-start", false, Count, "N", kTakesSerialSource,
     "number the boards of this run N, N+1, ... (--repeat)", 0, kAny,
     "--serial-start takes a decimal number, not '%s'"},
    {Cli, nullptr, "serial-value", false, Count, "N", kTakesSerialValue,
     "the serial number the board should hold at --serial-at", 0, kAny,
     "--serial-value takes a decimal number, not '%s'"},
    {Cli, nullptr, "start", false, Count, "N", kTakesSeries,
     "the first number of a new serial series", 0, kAny,
     "--start takes a decimal number, not '%s'"},
    {Cli, nullptr, "html", false, Path, "OUT", kTakesReport,
     "write the yield report to OUT, one HTML page that opens offline\n"
     "in any browser (its charts drawn by Chart.js, put inside it)",
     0, 0, nullptr},
    {Cli, nullptr, "csv", false, Path, "OUT", kTakesReport,
     "write one row per board to OUT, a CSV file: its runs, its first\n"
     "and final outcome, and its last run's station, pod and status",
     0, 0, nullptr},
    {Cli, nullptr, "since", false, Text, "TIME", kTakesReport,
     "only runs from TIME on: an ISO 8601 date or time, such as\n"
     "2026-12-07 or 2026-12-07T06:00+01:00 (UTC without a zone)",
     0, 0, "--since wants an ISO 8601 time such as 2026-12-07T06:00Z, not '%s'"},
    {Cli, nullptr, "until", false, Text, "TIME", kTakesReport,
     "only runs before TIME (ISO 8601, as --since)", 0, 0,
     "--until wants an ISO 8601 time such as 2026-12-08T06:00Z, not '%s'"},
    {Cli, nullptr, "image", false, Text, "SHA256", kTakesReport,
     "only runs of the image file with this SHA-256 (info shows it)", 0, 0,
     "--image wants the 64 hex digits of a SHA-256, not '%s'"},
    {Cli, nullptr, "expect-sha256", false, Text, "HEX", kTakesExpectSha256,
     "program only the image whose SHA-256 is HEX (info shows it): a\n"
     "file whose bytes loaded have another one is refused with exit 2,\n"
     "before the pod is touched; a station's job file pins it",
     0, 0, "--expect-sha256 wants the 64 hex digits of a SHA-256, not '%s'"},
    {Cli, nullptr, "strict", true, Flag, nullptr, kTakesStrict,
     "refuse a file with reader warnings (bad checksums, malformed\n"
     "records, words outside the CPU's flash, words written again\n"
     "with another value, S1/S2 records, records after the end\n"
     "record, text that is no S3 record): exit 2, before the pod is\n"
     "touched",
     0, 0, nullptr},

    // The window's.
    {Window, nullptr, "simulate", false, Flag, nullptr, 0,
     "work with the simulated pod instead of USB hardware; it takes the\n"
     "time a real pod would, and the message window says so in blue",
     0, 0, nullptr},
    {Window, nullptr, "pod", false, PodSerial, "SERIAL", 0,
     "use the pod with this serial number (vantix-cli list shows them);\n"
     "default: the first pod by serial number",
     0, 0, nullptr},
    {Window, "h", "help", false, Flag, nullptr, 0, "print the options and exit", 0, 0, nullptr},
    {Window, nullptr, "version", false, Flag, nullptr, 0, "print the version and exit", 0, 0,
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

const OptionInfo* FindCliOption(std::string_view longName) {
    for (const OptionInfo& option : OptionsOf(Program::Cli)) {
        if (longName == option.longName) {
            return &option;
        }
    }
    return nullptr;
}

const char* DescriptionFor(const OptionInfo& option, std::string_view command) {
    if (command == "list" && std::string_view(option.longName) == "json") {
        return "print the listing as one JSON array on stdout";
    }
    if (command == "station-db" && std::string_view(option.longName) == "cpu") {
        return "release: the CPU of the boards the image is for, DSP56F803,\n"
               "DSP56F805, DSP56F807 or 803, 805, 807, in any letter case";
    }
    if (command == "station-db" && std::string_view(option.longName) == "serial-words") {
        return "width of a new series' numbers: 1 word (up to 65535, the\n"
               "default) or 2 (up to 4294967295)";
    }
    return option.description;
}
