#include "commands/ReportOptions.h"

#include "OptionTable.h"
#include "commandline/GlobalOptions.h"
#include "commandline/OptionReader.h"
#include "commandline/OptionValues.h"
#include "records/IsoTime.h"

constexpr OptionInfo kHtmlRow = {
    Program::Cli, nullptr, "html", false, ValueKind::Path, "OUT",
    "write the yield report to OUT, one HTML page that opens offline\n"
    "in any browser (its charts drawn by Chart.js, put inside it)",
    0, 0, nullptr};

constexpr OptionInfo kCsvRow = {
    Program::Cli, nullptr, "csv", false, ValueKind::Path, "OUT",
    "write one row per board to OUT, a CSV file: its runs, its first\n"
    "and final outcome, and its last run's station, pod and status",
    0, 0, nullptr};

constexpr OptionInfo kSinceRow = {
    Program::Cli, nullptr, "since", false, ValueKind::Text, "TIME",
    "only runs from TIME on: an ISO 8601 date or time, such as\n"
    "2026-12-07 or 2026-12-07T06:00+01:00 (UTC without a zone)",
    0, 0, "--since wants an ISO 8601 time such as 2026-12-07T06:00Z, not '%s'"};

constexpr OptionInfo kUntilRow = {
    Program::Cli, nullptr, "until", false, ValueKind::Text, "TIME",
    "only runs before TIME (ISO 8601, as --since)", 0, 0,
    "--until wants an ISO 8601 time such as 2026-12-08T06:00Z, not '%s'"};

constexpr OptionInfo kImageRow = {
    Program::Cli, nullptr, "image", false, ValueKind::Text, "SHA256",
    "only runs of the image file with this SHA-256 (info shows it)", 0, 0,
    "--image wants the 64 hex digits of a SHA-256, not '%s'"};

namespace {

// The report command's arguments as given, before they are read into their types.
struct ReportCommandTexts {
    std::vector<std::string> logs;      // the values of --log, in the order given
    std::vector<std::string> operands;  // the further files after --log
    std::optional<std::string> html;
    std::optional<std::string> csv;
    std::optional<std::string> since;
    std::optional<std::string> until;
    std::optional<std::string> image;
};

// A time option's value, into `time`; the refusal when it is none.
std::string ReadTime(const OptionInfo& row, const std::optional<std::string>& text,
                     std::optional<std::int64_t>& time) {
    if (!text) {
        return {};
    }
    // Compared with the records' times to the microsecond.
    time = ParseIsoTimeMicros(*text, FractionTo::Later);
    return time ? std::string() : Refusal(row, *text);
}

}  // namespace

namespace {

std::string ReadGiven(const ReportCommandTexts& given, ReportOptions& options) {
    if (!given.operands.empty() && given.logs.empty()) {
        return "unexpected argument '" + given.operands.front() +
               "' for 'report' (logs follow --log)";
    }
    options.logs = given.logs;
    options.logs.insert(options.logs.end(), given.operands.begin(),
                              given.operands.end());
    if (!given.html && !given.csv) {
        return "'report' needs --html OUT or --csv OUT (or both)";
    }
    options.html = given.html.value_or("");
    options.csv = given.csv.value_or("");
    for (const std::string& refusal : {ReadTime(kSinceRow, given.since, options.since),
                                       ReadTime(kUntilRow, given.until, options.until)}) {
        if (!refusal.empty()) {
            return refusal;
        }
    }
    if (options.since && options.until && *options.since >= *options.until) {
        return "--since " + *given.since + " is not before --until " + *given.until;
    }
    if (given.image) {
        options.imageSha256 = ReadSha256(*given.image);
        if (!options.imageSha256) {
            return Refusal(kImageRow, *given.image);
        }
    }
    return {};
}

}  // namespace

std::string ReadReportOptions(const OptionReader& reader, ReportOptions& options) {
    // Every --log of the command line is a log to read; a job file names one, from its folder.
    std::vector<std::string> logs = reader.CommandLineValues(kLogRow);
    if (logs.empty() && !reader.Globals().records.logPath.empty()) {
        logs.push_back(reader.Globals().records.logPath);
    }
    return ReadGiven({logs, reader.Operands("LOG"), reader.Text(kHtmlRow), reader.Text(kCsvRow),
                      reader.Text(kSinceRow), reader.Text(kUntilRow), reader.Text(kImageRow)},
                     options);
}
