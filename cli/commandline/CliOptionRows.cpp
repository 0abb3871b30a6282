#include "commandline/CliOptionRows.h"

#include <limits>

using enum ValueKind;
using enum Program;

namespace {

constexpr std::uint64_t kAny = std::numeric_limits<std::uint64_t>::max();

}  // namespace

// The options of the commands, in the order their help lists them.
constexpr OptionInfo kCpuRow = {
    Cli, nullptr, "cpu", false, Cpu, "CPU",
    "DSP56F801, DSP56F803, DSP56F805, DSP56F807 or 801, 803,\n805, 807, in any letter case; a "
    "DSP56F801 file is read and\nviewed (info, dump), never programmed",
    0, 0, nullptr};

constexpr OptionInfo kRegionRow = {
    Cli, nullptr, "region", false, RegionName, "NAME",
    "PFLASH, P2FLASH, BFLASH or DFLASH (a region the file fills);\n"
    "default: the first region info lists",
    0, 0, nullptr};

constexpr OptionInfo kRegionsRow = {
    Cli, nullptr, "regions", false, RegionList, "LIST",
    "comma-separated region names to process (PFLASH, P2FLASH,\n"
    "BFLASH, DFLASH, any letter case); default: every region the\n"
    "file fills (erase, blank-check: every region of the CPU's\n"
    "map). The regions always go in the order DFLASH, PFLASH,\nP2FLASH, BFLASH.",
    0, 0, nullptr};

constexpr OptionInfo kEraseAllBootRow = {
    Cli, nullptr, "erase-all-boot", true, Flag, nullptr,
    "erase the whole boot flash before writing BFLASH (default),\n"
    "or only the boot flash pages the image touches",
    0, 0, nullptr};

constexpr OptionInfo kResetAfterRow = {
    Cli, nullptr, "reset-after", true, Flag, nullptr,
    "reset the target board after success", 0, 0, nullptr};

constexpr OptionInfo kOnlyChangedRow = {
    Cli, nullptr, "only-changed", true, Flag, nullptr,
    "erase and write only the pages that differ: the pod first\n"
    "compares every page with the image (as verify does), then\n"
    "erases and writes those that differ. Pays on a board that\n"
    "already holds most of the image (about 0.45x the time of the\n"
    "plain command). Costs on a blank board or one with other\n"
    "firmware: every page differs, so the compare comes on top of\n"
    "the full write, about 1.45x the plain command's time. Prints\n"
    "\"PFLASH: 3 of 120 pages written\" per region; records add each\n"
    "region's pages",
    0, 0, nullptr};

constexpr OptionInfo kJsonRow = {
    Cli, nullptr, "json", true, Flag, nullptr,
    "print one JSON object on stdout: info's and list's listing, or\n"
    "the record of the run when a pod command ends, whatever the\n"
    "outcome, a refusal of its command line included (command, file,\n"
    "sha256, cpu, regions with crc32, pod, result, status, seconds,\n"
    "exit)",
    0, 0, nullptr};

constexpr OptionInfo kRepeatRow = {
    Cli, nullptr, "repeat", true, Flag, nullptr,
    "board after board: after each one wait for Enter (q or the end\n"
    "of the input stops), print the tally \"boards: N passed, M\n"
    "failed\" and run again; exit 0 when every board passed. A line\n"
    "typed before Enter (a scanned barcode) is the next board's id;\n"
    "on a terminal, what is typed while a board runs is thrown\n"
    "away (piped input is read as given). A pod that has gone, or\n"
    "was disconnected during its board, ends the run with 3",
    0, 0, nullptr};

constexpr OptionInfo kPodsRow = {
    Cli, nullptr, "pods", false, PodList, "all|SERIAL,...",
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
    0, 0, nullptr};

constexpr OptionInfo kSerialAtRow = {
    Cli, nullptr, "serial-at", false, SerialAddress, "REGION:ADDRESS",
    "write each board's serial number into the word at ADDRESS\n"
    "(hex) of REGION, patched into the loaded image (the file is\n"
    "not changed); refused when a record of the file fills it",
    0, 0,
    "--serial-at wants REGION:ADDRESS with the address in hex, for example PFLASH:7FF0, "
    "not '%s'"};

constexpr OptionInfo kSerialWordsRow = {
    Cli, nullptr, "serial-words", false, Count, "1|2",
    "width of the serial number: 1 word (default) or 2, low word\nfirst", 1, 2,
    "--serial-words takes 1 or 2, not '%s'"};

constexpr OptionInfo kSerialOverwriteRow = {
    Cli, nullptr, "serial-overwrite", true, Flag, nullptr,
    "let the serial number replace words the file fills", 0, 0, nullptr};

constexpr OptionInfo kSerialCounterRow = {
    Cli, nullptr, "serial-counter", false, Path, "FILE",
    "take each number from FILE, a text file holding the next\n"
    "number, which stations may share; taken under a lock and\n"
    "written back before the board is touched, never reused",
    0, 0, nullptr};

constexpr OptionInfo kSerialSeriesRow = {
    Cli, nullptr, "serial-series", false, Text, "NAME",
    "take each number from the serial series NAME of --station-db\n"
    "(see station-db series), committed there with the run's UUID\n"
    "before the board is touched, never reused",
    0, 0, nullptr};

constexpr OptionInfo kSerialStartRow = {
    Cli, nullptr, "serial-start", false, Count, "N",
    "number the boards of this run N, N+1, ... (--repeat)", 0, kAny,
    "--serial-start takes a decimal number, not '%s'"};

constexpr OptionInfo kSerialValueRow = {
    Cli, nullptr, "serial-value", false, Count, "N",
    "the serial number the board should hold at --serial-at", 0, kAny,
    "--serial-value takes a decimal number, not '%s'"};

constexpr OptionInfo kStartRow = {
    Cli, nullptr, "start", false, Count, "N",
    "the first number of a new serial series", 0, kAny,
    "--start takes a decimal number, not '%s'"};

constexpr OptionInfo kHtmlRow = {
    Cli, nullptr, "html", false, Path, "OUT",
    "write the yield report to OUT, one HTML page that opens offline\n"
    "in any browser (its charts drawn by Chart.js, put inside it)",
    0, 0, nullptr};

constexpr OptionInfo kCsvRow = {
    Cli, nullptr, "csv", false, Path, "OUT",
    "write one row per board to OUT, a CSV file: its runs, its first\n"
    "and final outcome, and its last run's station, pod and status",
    0, 0, nullptr};

constexpr OptionInfo kSinceRow = {
    Cli, nullptr, "since", false, Text, "TIME",
    "only runs from TIME on: an ISO 8601 date or time, such as\n"
    "2026-12-07 or 2026-12-07T06:00+01:00 (UTC without a zone)",
    0, 0, "--since wants an ISO 8601 time such as 2026-12-07T06:00Z, not '%s'"};

constexpr OptionInfo kUntilRow = {
    Cli, nullptr, "until", false, Text, "TIME",
    "only runs before TIME (ISO 8601, as --since)", 0, 0,
    "--until wants an ISO 8601 time such as 2026-12-08T06:00Z, not '%s'"};

constexpr OptionInfo kImageRow = {
    Cli, nullptr, "image", false, Text, "SHA256",
    "only runs of the image file with this SHA-256 (info shows it)", 0, 0,
    "--image wants the 64 hex digits of a SHA-256, not '%s'"};

constexpr OptionInfo kExpectSha256Row = {
    Cli, nullptr, "expect-sha256", false, Text, "HEX",
    "program only the image whose SHA-256 is HEX (info shows it): a\n"
    "file whose bytes loaded have another one is refused with exit 2,\n"
    "before the pod is touched; a station's job file pins it",
    0, 0, "--expect-sha256 wants the 64 hex digits of a SHA-256, not '%s'"};

constexpr OptionInfo kStrictRow = {
    Cli, nullptr, "strict", true, Flag, nullptr,
    "refuse a file with reader warnings (bad checksums, malformed\n"
    "records, words outside the CPU's flash, words written again\n"
    "with another value, S1/S2 records, records after the end\n"
    "record, text that is no S3 record): exit 2, before the pod is\n"
    "touched",
    0, 0, nullptr};
