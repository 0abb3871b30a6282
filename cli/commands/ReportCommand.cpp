#include "commands/ReportCommand.h"

#include <array>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>

#include "CliExit.h"
#include "Utf8Path.h"
#include "commandline/CommandLineParser.h"
#include "commandline/OptionReader.h"
#include "commands/ReportOptions.h"
#include "records/IsoTime.h"
#include "records/RunLog.h"
#include "records/SystemReason.h"
#include "report/ChartLibrary.h"
#include "report/CsvReportWriter.h"
#include "report/HtmlReportWriter.h"
#include "report/LogReader.h"
#include "report/ReportOutput.h"
#include "report/SeenRuns.h"
#include "report/StationDbRunReader.h"
#include "run/CliContext.h"
#include "run/CliEnvironment.h"
#include "run/ConsoleUi.h"

namespace {

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return a == b || std::filesystem::equivalent(Utf8Path(a), Utf8Path(b), ec);
}

void Add(LineCounts& total, const LineCounts& more) {
    total.records += more.records;
    total.blank += more.blank;
    total.notJson += more.notJson;
    total.cutShort += more.cutShort;
    total.notRecord += more.notRecord;
    total.unknownFields += more.unknownFields;
}

}  // namespace

ReportRun::ReportRun(const ReportOptions& options, const std::string& stationDb,
                     const CliEnvironment& environment, ConsoleUi& ui)
    : options_(options),
      stationDb_(stationDb),
      environment_(environment),
      ui_(ui),
      filter_{options.since, options.until, options.imageSha256} {}

WaitNotice ReportRun::Waiting() const {
    WaitNotice notice;
    notice.interrupted = environment_.interrupted;
    notice.signal = environment_.interruptSignal;
    notice.say = [this](const std::string& text) { ui_.Notice(text); };
    return notice;
}

bool ReportRun::Interrupted() const {
    return environment_.interrupted != nullptr && environment_.interrupted->load();
}

std::string ReportRun::DatabaseUrl(std::string& refusal) const {
    refusal.clear();
    if (!stationDb_.empty() || !options_.logs.empty()) {
        return stationDb_;
    }
    return ChosenStationDb(stationDb_, environment_, refusal);
}

std::string ReportRun::CheckFiles() const {
    std::string refusal;
    const std::string database = DatabaseUrl(refusal);
    if (!refusal.empty()) {
        return refusal;
    }
    if (options_.logs.empty() && database.empty()) {
        return "'report' needs --log FILE... or --station-db URL (or VANTIX_STATION_DB)";
    }
    for (const std::string& log : options_.logs) {
        if (!std::ifstream(Utf8Path(log), std::ios::binary)) {
            return "cannot read the log " + log + SystemReason(log);
        }
        for (const std::string* out : {&options_.html, &options_.csv}) {
            if (!out->empty() && SameFile(*out, log)) {
                return "the report " + *out + " would overwrite the log it reads";
            }
        }
    }
    if (!options_.html.empty() && !options_.csv.empty() && SameFile(options_.html, options_.csv)) {
        return "--html and --csv name the same file: " + options_.csv;
    }
    return {};
}

int ReportRun::Run() {
    if (const std::string refusal = CheckFiles(); !refusal.empty()) {
        ui_.Error("vantix-cli: " + refusal);
        return kExitInputError;
    }
    // The reports' files are made first: one that cannot be written stops the run before a
    // long read.
    std::vector<std::unique_ptr<ReportOutput>> outputs;
    for (const std::string* path : {&options_.html, &options_.csv}) {
        std::string error;
        outputs.push_back(path->empty() ? nullptr : std::make_unique<ReportOutput>(*path));
        if (outputs.back() && !outputs.back()->Open(error)) {
            ui_.Error("vantix-cli: " + error);
            return kExitInputError;
        }
    }
    ReportAggregator aggregator(std::time(nullptr));
    LineCounts lines;
    std::string database;
    if (const int status = ReadSources(aggregator, lines, database); status != kExitSuccess) {
        return status;
    }
    ReportFigures figures = aggregator.Finish();
    figures.lines = lines;
    figures.filter = filter_;
    if (!database.empty()) {
        figures.sources.push_back("the station database (" + database + ")");
    }
    figures.sources.insert(figures.sources.end(), options_.logs.begin(), options_.logs.end());
    if (const int status = Write(figures, outputs[0].get(), outputs[1].get());
        status != kExitSuccess) {
        return status;
    }
    if (figures.oddTimes > 0) {
        ui_.Warning("vantix-cli: " + std::to_string(figures.oddTimes) + " run" +
                    (figures.oddTimes == 1 ? " has a time" : "s have times") + " from " +
                    UtcText(*figures.earliestOddTime) + " to " + UtcText(*figures.latestOddTime) +
                    ", before 2000 or after now (a station's clock was wrong?): counted, but "
                    "left out of the chart of boards per hour");
    }
    Summary(figures);
    return kExitSuccess;
}

int ReportRun::ReadSources(ReportAggregator& aggregator, LineCounts& lines, std::string& database) {
    const auto warn = [this](const std::string& text) { ui_.Warning("vantix-cli: " + text); };
    // The database first: of a run that a log holds too, its copy counts.
    SeenRuns seen;
    const SeenRuns::Take add = [&aggregator](ReportRecord& record) { aggregator.Add(record); };
    const auto take = [&](ReportRecord& record) {
        if (filter_.Keeps(record)) {
            seen.Offer(record, add);
        }
    };
    std::string refusal;
    const std::string url = DatabaseUrl(refusal);
    if (!url.empty()) {
        StationDbRunReader reader(take, warn, Waiting());
        reader.OnReleases([&aggregator](std::vector<ReleaseInfo> releases) {
            aggregator.SetReleases(std::move(releases));
        });
        const StationDbOutcome outcome = reader.Read(url, filter_);
        if (!outcome.Ok()) {
            for (const std::string& line : outcome.Lines()) {
                ui_.Error("vantix-cli: " + line);
            }
            return outcome.status;
        }
        database = reader.Name();
        Add(lines, reader.Counts());
    }
    LogReader reader(take, warn, environment_.interrupted);
    for (const std::string& log : options_.logs) {
        std::string error;
        if (!reader.Read(log, error)) {
            ui_.Error("vantix-cli: " + error);
            return kExitInputError;
        }
    }
    Add(lines, reader.Counts());
    seen.Finish(add);
    lines.duplicates = seen.Again();
    return Interrupted() ? InterruptedExit(environment_) : kExitSuccess;
}

int ReportRun::Write(const ReportFigures& figures, ReportOutput* html, ReportOutput* csv) {
    if (html != nullptr) {
        std::string lookedAt;
        std::optional<std::string> library = ChartLibrary::Load(lookedAt);
        if (!library) {
            ui_.Warning("vantix-cli: Chart.js not found at " + lookedAt +
                        " (Debian's package libjs-chart.js): the report has no charts, only "
                        "its tables");
        }
        HtmlReportWriter(figures, std::move(library), RunLog::UtcNow()).Write(html->Stream());
    }
    if (csv != nullptr) {
        CsvReportWriter::Write(figures, csv->Stream());
    }
    for (ReportOutput* output : {html, csv}) {
        std::string error;
        if (output != nullptr && !output->Commit(error)) {
            ui_.Error("vantix-cli: " + error);
            return kExitInputError;
        }
    }
    return kExitSuccess;
}

void ReportRun::Summary(const ReportFigures& figures) const {
    const auto count = [](std::uint64_t n, const char* one, const char* many) {
        return std::to_string(n) + " " + (n == 1 ? one : many);
    };
    std::string text = "report: " + count(figures.boards, "board", "boards") + ", " +
                       count(figures.runs, "run", "runs");
    if (figures.refusedBeforePod > 0) {
        text += ", " + std::to_string(figures.refusedBeforePod) + " refused before the pod";
    }
    if (const std::uint64_t skipped = figures.lines.Skipped(); skipped > 0) {
        text += ", " + std::to_string(skipped) + (skipped == 1 ? " line" : " lines") + " not read";
    }
    if (const std::uint64_t again = figures.lines.duplicates; again > 0) {
        text += ", " + std::to_string(again) + (again == 1 ? " copy" : " copies") +
                " of runs read before left out";
    }
    for (const std::string* path : {&options_.html, &options_.csv}) {
        text += path->empty() ? "" : "; wrote " + *path;
    }
    ui_.Info(text);
}

namespace {

constexpr std::array<OptionUse, 5> kOptions = {
    {{&kHtmlRow}, {&kCsvRow}, {&kSinceRow}, {&kUntilRow}, {&kImageRow}}};

std::string Read(const OptionReader& reader, std::unique_ptr<CommandOptions>& options) {
    auto report = std::make_unique<ReportOptions>();
    const std::string refusal = ReadReportOptions(reader, *report);
    options = std::move(report);
    return refusal;
}

int Run(const CliParseResult& parsed, const CliContext& context) {
    return ReportRun(*parsed.As<ReportOptions>(), parsed.global.records.stationDb,
                     context.environment, context.ui)
        .Run();
}

constexpr OperandInfo kOperands[] = {{"LOG", "further logs, after --log", true}};

constexpr CommandInfo kReport = {
    .command = CliCommand::Report,
    .name = "report",
    .needsFile = false,
    .needsCpu = false,
    .summary = "write the line's yield report from its records",
    .description =
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
    .example = "vantix-cli report --log /srv/line/boards.jsonl --html yield.html --csv boards.csv",
    .options = kOptions,
    .refuseForeign = nullptr,
    .read = Read,
    .run = Run,
    .operands = kOperands,
    .usageTail = " [--log FILE...]",
};

}  // namespace

const CommandInfo& ReportCommand() {
    return kReport;
}
