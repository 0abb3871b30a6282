#include "commands/CommandList.h"

#include <array>

#include "commandline/CliOptionRows.h"
#include "commandline/CommandReads.h"
#include "commandline/ReportOptions.h"
#include "commandline/StationDbOptions.h"
#include "commands/BlankCheckCommand.h"
#include "commands/DumpCommand.h"
#include "commands/EraseCommand.h"
#include "commands/HelpCommand.h"
#include "commands/InfoCommand.h"
#include "commands/ListCommand.h"
#include "commands/PodInfoCommand.h"
#include "commands/PodVerifyCommand.h"
#include "commands/PodWriteCommand.h"
#include "commands/ResetCommand.h"

namespace {

constexpr const char* kReleaseCpuText =
    "release: the CPU of the boards the image is for, DSP56F803,\n"
    "DSP56F805, DSP56F807 or 803, 805, 807, in any letter case";
constexpr const char* kSeriesWordsText =
    "width of a new series' numbers: 1 word (up to 65535, the\n"
    "default) or 2 (up to 4294967295)";

// write and write-verify.
constexpr std::array<OptionUse, 16> kTargetWriteOptions = {{
    {&kCpuRow}, {&kRegionsRow}, {&kEraseAllBootRow}, {&kResetAfterRow}, {&kOnlyChangedRow},
    {&kJsonRow}, {&kRepeatRow}, {&kPodsRow}, {&kSerialAtRow}, {&kSerialWordsRow},
    {&kSerialOverwriteRow}, {&kSerialCounterRow}, {&kSerialSeriesRow}, {&kSerialStartRow},
    {&kExpectSha256Row}, {&kStrictRow},
}};
constexpr std::array<OptionUse, 12> kVerifyOptions = {{
    {&kCpuRow}, {&kRegionsRow}, {&kResetAfterRow}, {&kJsonRow}, {&kRepeatRow}, {&kPodsRow},
    {&kSerialAtRow}, {&kSerialWordsRow}, {&kSerialOverwriteRow}, {&kSerialValueRow},
    {&kExpectSha256Row}, {&kStrictRow},
}};
constexpr std::array<OptionUse, 3> kStationDbOptions = {
    {{&kCpuRow, kReleaseCpuText}, {&kSerialWordsRow, kSeriesWordsText}, {&kStartRow}}};
constexpr std::array<OptionUse, 5> kReportOptions = {
    {{&kHtmlRow}, {&kCsvRow}, {&kSinceRow}, {&kUntilRow}, {&kImageRow}}};

}  // namespace

std::span<const CommandInfo> CliCommands() {
    // Made at its first use, after every command's own entry.
    static const std::array<CommandInfo, 15> commands = {{
    InfoCommand(),
    DumpCommand(),
    {CliCommand::Write, "write", true, true, "Target Write: erase and program the regions",
     "Erases and programs the regions of FILE on the target board (\"Target Write\").",
     "vantix-cli write firmware.s --cpu 807 --regions PFLASH,BFLASH --reset-after",
     kTargetWriteOptions, ReadTargetWriteOptions, nullptr},
    {CliCommand::WriteVerify, "write-verify", true, true,
     "Target Write & Verify: program, then compare each piece",
     "Erases, programs and compares the regions of FILE on the target board\n"
     "(\"Target Write & Verify\").\n\n"
     "With --serial-at, each board gets the next serial number in that word (two words with\n"
     "--serial-words 2, low word first), patched into the loaded image before the board is\n"
     "touched; the file is never changed. The numbers come from --serial-counter FILE, a\n"
     "text file holding the next number that several stations may share, or count up from\n"
     "--serial-start N within the run. A number once taken is never handed out again.\n"
     "With --station-db, --serial-series NAME takes them from a series of the line's\n"
     "database instead.\n\n"
     "A serialised production run, stations sharing one counter and one log:\n"
     "  echo 1000 > /srv/line/serial.txt\n"
     "  vantix-cli write-verify firmware.s --cpu 807 --serial-at PFLASH:7FF0 \\\n"
     "    --serial-counter /srv/line/serial.txt --repeat --log /srv/line/boards.jsonl",
     "vantix-cli write-verify firmware.s --cpu 805 --no-erase-all-boot", kTargetWriteOptions,
     ReadTargetWriteOptions, nullptr},
    {CliCommand::Verify, "verify", true, true, "Target Verify: compare the regions with the target",
     "Compares the regions of FILE with the target board's flash (\"Target Verify\").\n"
     "--serial-at with --serial-value N checks a board that was given serial number N.",
     "vantix-cli verify firmware.s --cpu 803", kVerifyOptions, ReadVerifyOptions, nullptr},
    ResetCommand(),
    PodWriteCommand(),
    PodVerifyCommand(),
    PodInfoCommand(),
    ListCommand(),
    EraseCommand(),
    BlankCheckCommand(),
    {CliCommand::StationDb, "station-db", false, false,
     "set up the line's station database and its serial series",
     "Sets up the PostgreSQL database that the stations of a line share (--station-db URL,\n"
     "or VANTIX_STATION_DB); ACTION is one of:\n"
     "  init          creates its tables and the roles vantix_station, vantix_reader and\n"
     "                vantix_admin, or moves older tables to this version; run once by\n"
     "                the owner of the tables; safe when several hosts run it at once\n"
     "  series NAME --start N [--serial-words 1|2]\n"
     "                creates the serial series NAME, whose first number is N\n"
     "  series        lists the series with their next numbers, a line each:\n"
     "                name, \"next N\" (or \"used up\") and the width\n"
     "  grant ROLE LOGIN\n"
     "                gives LOGIN one role: station (takes numbers and stores records,\n"
     "                reads none and changes none), reader (reads the records, for\n"
     "                report) or admin (creates series, releases and withdraws images)\n"
     "  release NAME FILE --cpu CPU\n"
     "                releases the image FILE for the series NAME and that CPU: a run\n"
     "                with --serial-series NAME programs only an image released so\n"
     "                (the admin's act; a station login may not)\n"
     "  withdraw NAME SHA256 [--cpu CPU]\n"
     "                withdraws the image with that SHA-256 from the series, from the\n"
     "                next board on; for that CPU alone with --cpu\n"
     "  releases [NAME]\n"
     "                lists the released images, a line each: series, SHA-256, CPU,\n"
     "                file name, \"released TIME by LOGIN\" and, once withdrawn,\n"
     "                \"withdrawn TIME by LOGIN\"\n"
     "The stations then take each board's number with --serial-series NAME, and every pod\n"
     "command stores its record there too, with --station (default: the host name) and\n"
     "the run's UUID. A record that cannot be stored ends the run with 4 and waits in a\n"
     "spool file under ~/.local/state/vantix until the next run with that database sends it.",
     "vantix-cli station-db grant station station3 --station-db postgresql://line_owner@db1/line",
     kStationDbOptions, ReadStationDbOptions, nullptr},
    {CliCommand::Report, "report", false, false, "write the line's yield report from its records",
     "Reads the boards' records from JSON Lines logs (--log FILE..., as --log writes them;\n"
     "several files after one --log) and/or the station database (--station-db URL, or\n"
     "VANTIX_STATION_DB when no log is named), and writes the line's yield report: --html OUT,\n"
     "one HTML page that opens offline in any browser, and --csv OUT, one row per board.\n"
     "The page shows the totals, the first-pass and final yield (a board is known by its\n"
     "board id, else its serial number), boards per hour, each command's cycle time (median,\n"
     "95th percentile, histogram), each station's and pod's runs and yield, the failures by\n"
     "status text, the last 1000 failed runs and the serial numbers used per series; every\n"
     "figure is in its text. --since and --until (ISO 8601) and --image SHA256 narrow it.\n"
     "A line that is no record is named on stderr, skipped and counted on the page. A log\n"
     "that cannot be read exits with 2 and a database out of reach with 3, leaving any\n"
     "earlier report as it was.",
     "vantix-cli report --log /srv/line/boards.jsonl --html yield.html --csv boards.csv",
     kReportOptions, ReadReportOptions, nullptr},
    HelpCommand(),
    }};
    return commands;
}
