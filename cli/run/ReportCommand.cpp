#include "run/ReportCommand.h"

#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>

#include "CliExit.h"
#include "Utf8Path.h"
#include "commandline/CliOptions.h"
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

ReportCommand::ReportCommand(const CliOptions& options, const CliEnvironment& environment,
                             ConsoleUi& ui)
    : options_(options),
      environment_(environment),
      ui_(ui),
      filter_{options.since, options.until, options.imageSha256} {}

WaitNotice ReportCommand::Waiting() const {
    WaitNotice notice;
    notice.interrupted = environment_.interrupted;
    notice.signal = environment_.interruptSignal;
    notice.say = [this](const std::string& text) { ui_.Notice(text); };
    return notice;
}

bool ReportCommand::Interrupted() const {
    return environment_.interrupted != nullptr && environment_.interrupted->load();
}

std::string ReportCommand::DatabaseUrl(std::string& refusal) const {
    refusal.clear();
    if (!options_.records.stationDb.empty() || !options_.reportLogs.empty()) {
        return options_.records.stationDb;
    }
    return ChosenStationDb(options_.records.stationDb, environment_, refusal);
}

std::string ReportCommand::CheckFiles() const {
    std::string refusal;
    const std::string database = DatabaseUrl(refusal);
    if (!refusal.empty()) {
        return refusal;
    }
    if (options_.reportLogs.empty() && database.empty()) {
        return "'report' needs --log FILE... or --station-db URL (or VANTIX_STATION_DB)";
    }
    for (const std::string& log : options_.reportLogs) {
        if (!std::ifstream(Utf8Path(log), std::ios::binary)) {
            return "cannot read the log " + log + SystemReason(log);
        }
        for (const std::string* out : {&options_.reportHtml, &options_.reportCsv}) {
            if (!out->empty() && SameFile(*out, log)) {
                return "the report " + *out + " would overwrite the log it reads";
            }
        }
    }
    if (!options_.reportHtml.empty() && !options_.reportCsv.empty() &&
        SameFile(options_.reportHtml, options_.reportCsv)) {
        return "--html and --csv name the same file: " + options_.reportCsv;
    }
    return {};
}

int ReportCommand::Run() {
    if (const std::string refusal = CheckFiles(); !refusal.empty()) {
        ui_.Error("vantix-cli: " + refusal);
        return kExitInputError;
    }
    // The reports' files are made first: one that cannot be written stops the run before a
    // long read.
    std::vector<std::unique_ptr<ReportOutput>> outputs;
    for (const std::string* path : {&options_.reportHtml, &options_.reportCsv}) {
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
    figures.sources.insert(figures.sources.end(), options_.reportLogs.begin(),
                           options_.reportLogs.end());
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

int ReportCommand::ReadSources(ReportAggregator& aggregator, LineCounts& lines,
                               std::string& database) {
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
    for (const std::string& log : options_.reportLogs) {
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

int ReportCommand::Write(const ReportFigures& figures, ReportOutput* html, ReportOutput* csv) {
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

void ReportCommand::Summary(const ReportFigures& figures) const {
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
    for (const std::string* path : {&options_.reportHtml, &options_.reportCsv}) {
        text += path->empty() ? "" : "; wrote " + *path;
    }
    ui_.Info(text);
}
