#include "commands/StationDbCommand.h"

#include <array>

#include "SFileImage.h"
#include "Utf8Path.h"
#include "commandline/CommandLineParser.h"
#include "commandline/ImageFileOptions.h"
#include "commandline/OptionReader.h"
#include "commandline/SerialOptions.h"
#include "commands/StationDbOptions.h"
#include "records/ImageDigests.h"
#include "records/JsonText.h"
#include "run/CliContext.h"
#include "run/CliEnvironment.h"
#include "run/ConsoleUi.h"
#include "run/ImageLoading.h"
#include "run/OutputFailure.h"

namespace {

std::string Words(int words) {
    return std::to_string(words) + (words == 1 ? " word" : " words");
}

std::string Next(const SeriesInfo& series) {
    return series.next ? "next " + std::to_string(*series.next) : std::string("used up");
}

}  // namespace

StationDbRun::StationDbRun(const StationDbOptions& options, const std::string& stationDb,
                           const CliEnvironment& environment, ConsoleUi& ui, std::ostream& out)
    : options_(options), stationDb_(stationDb), environment_(environment), ui_(ui), out_(out) {}

int StationDbRun::Run() {
    std::string refusal;
    const std::string url = ChosenStationDb(stationDb_, environment_, refusal);
    if (!refusal.empty()) {
        return Fail({kExitInputError, refusal});
    }
    if (url.empty()) {
        return Fail({kExitInputError, "'station-db' needs --station-db URL (or VANTIX_STATION_DB)"});
    }
    WaitNotice notice;
    notice.interrupted = environment_.interrupted;
    notice.signal = environment_.interruptSignal;
    notice.say = [this](const std::string& text) { ui_.Notice(text); };
    StationDbOutcome opened;
    const std::unique_ptr<StationDb> database = StationDb::Open(url, opened, notice);
    if (!opened.Ok()) {
        return Fail(opened);
    }
    if (options_.action == "init") {
        return Init(*database);
    }
    if (options_.action == "grant") {
        return Grant(*database);
    }
    if (options_.action == "release") {
        return Release(*database);
    }
    if (options_.action == "withdraw") {
        return Withdraw(*database);
    }
    if (options_.action == "releases") {
        return ListReleases(*database);
    }
    return options_.seriesName ? CreateSeries(*database) : ListSeries(*database);
}

int StationDbRun::Init(StationDb& database) {
    int found = 0;
    if (const StationDbOutcome outcome = database.CreateTables(found); !outcome.Ok()) {
        return Fail(outcome);
    }
    const std::string name = "the station database (" + database.Name() + ")";
    ui_.Info(found == 0 ? "created the tables of " + name
             : found < StationDb::kTablesVersion
                 ? "moved the tables of " + name + " from version " + std::to_string(found) +
                       " to " + std::to_string(StationDb::kTablesVersion)
                 : name + " has its tables already");
    return kExitSuccess;
}

int StationDbRun::Grant(StationDb& database) {
    const std::string& login = options_.grantLogin;
    const std::string& word = options_.grantRole;
    if (const StationDbOutcome outcome = database.Grant(word, login); !outcome.Ok()) {
        return Fail(outcome);
    }
    ui_.Info("granted the role vantix_" + word + " to the login '" + login + "' in " +
             "the station database (" + database.Name() + ")");
    return kExitSuccess;
}

int StationDbRun::CreateSeries(StationDb& database) {
    const std::string& name = *options_.seriesName;
    bool created = false;
    SeriesInfo series;
    const StationDbOutcome outcome = database.CreateSeries(name, *options_.seriesStart,
                                                           options_.serialWords, created, series);
    if (!outcome.Ok()) {
        return Fail(outcome);
    }
    const std::string quoted = "the serial series '" + name + "'";
    if (created) {
        ui_.Info("created " + quoted + ": first number " + std::to_string(*options_.seriesStart) +
                 ", " + Words(options_.serialWords));
        return kExitSuccess;
    }
    // Asked again as it is, it is there: a script may set up the line more than once.
    if (series.first != *options_.seriesStart || series.words != options_.serialWords) {
        return Fail({kExitInputError, quoted + " exists already, with first number " +
                                          std::to_string(series.first) + " and " +
                                          Words(series.words)});
    }
    ui_.Info(quoted + " exists already; " + Next(series));
    return kExitSuccess;
}

int StationDbRun::ListSeries(StationDb& database) {
    std::vector<SeriesInfo> all;
    if (const StationDbOutcome outcome = database.ListSeries(all); !outcome.Ok()) {
        return Fail(outcome);
    }
    for (const SeriesInfo& series : all) {
        out_ << series.name << '\t' << Next(series) << '\t' << Words(series.words) << '\n';
    }
    if (const int printed = Printed(); printed != kExitSuccess) {
        return printed;
    }
    if (all.empty()) {
        ui_.Info("the station database (" + database.Name() +
                 ") has no serial series; create one with 'vantix-cli station-db series NAME "
                 "--start N'");
    }
    return kExitSuccess;
}

int StationDbRun::Printed() {
    if (const std::string failure = OutputFailure(out_); !failure.empty()) {
        return Fail({kExitInputError, failure});
    }
    return kExitSuccess;
}

int StationDbRun::Release(StationDb& database) {
    SFileImage image;
    std::vector<RegionRow> rows;
    ReleaseInfo release;
    // Stations program what is released without asking again: an image the reader finds
    // fault with is never released.
    int status = LoadImageFile(*options_.file, *options_.cpu, true, image, rows, ui_,
                               &release.sha256, " is not released: the reader found faults in it");
    if (status == kExitSuccess && rows.empty()) {
        ui_.Error("vantix-cli: " + *options_.file + " fills no flash region of the " +
                  CpuName(*options_.cpu) + "; nothing to release");
        status = kExitInputError;
    }
    if (status != kExitSuccess) {
        return status;
    }
    release.series = *options_.seriesName;
    release.cpu = CpuName(*options_.cpu);
    const std::u8string name = Utf8Path(*options_.file).filename().u8string();
    release.fileName = ValidUtf8(std::string(name.begin(), name.end()));
    bool added = false;
    ReleaseInfo found;
    if (const StationDbOutcome outcome = database.Release(release, added, found); !outcome.Ok()) {
        return Fail(outcome);
    }
    const std::string what = *options_.file + " (SHA-256 " + release.sha256 + ")";
    const std::string where = "the serial series '" + release.series + "' and the " + release.cpu;
    ui_.Info(added ? "released " + what + " for " + where
                   : what + " is released for " + where + " already, since " + found.releasedAt +
                         " by " + found.releasedBy);
    return kExitSuccess;
}

int StationDbRun::Withdraw(StationDb& database) {
    const std::string& series = *options_.seriesName;
    const std::string& sha256 = *options_.releaseSha256;
    const std::optional<std::string> cpu =
        options_.cpu ? std::optional<std::string>(CpuName(*options_.cpu)) : std::nullopt;
    std::vector<ReleaseInfo> withdrawn;
    if (const StationDbOutcome outcome = database.Withdraw(series, sha256, cpu, withdrawn);
        !outcome.Ok()) {
        return Fail(outcome);
    }
    const std::string image = "the image " + ShortSha256(sha256);
    for (const ReleaseInfo& release : withdrawn) {
        ui_.Info("withdrew " + image + " (" + release.fileName + ", " + release.cpu +
                 ") from the serial series '" + series + "'; no further board takes it");
    }
    if (!withdrawn.empty()) {
        return kExitSuccess;
    }
    // Asked again, it is withdrawn: a script may run more than once.
    std::vector<ReleaseInfo> all;
    if (const StationDbOutcome outcome = database.ListReleases(series, false, all); !outcome.Ok()) {
        return Fail(outcome);
    }
    for (const ReleaseInfo& release : all) {
        if (release.sha256 == sha256 && (!cpu || release.cpu == *cpu)) {
            ui_.Info(image + " is withdrawn from the serial series '" + series + "' already");
            return kExitSuccess;
        }
    }
    return Fail({kExitInputError,
                 image + " was never released for the serial series '" + series + "'"});
}

int StationDbRun::ListReleases(StationDb& database) {
    std::vector<ReleaseInfo> all;
    if (const StationDbOutcome outcome = database.ListReleases(options_.seriesName, false, all);
        !outcome.Ok()) {
        return Fail(outcome);
    }
    for (const ReleaseInfo& release : all) {
        out_ << release.series << '\t' << release.sha256 << '\t' << release.cpu << '\t'
             << release.fileName << "\treleased " << release.releasedAt << " by "
             << release.releasedBy;
        if (release.withdrawnAt) {
            out_ << "\twithdrawn " << *release.withdrawnAt << " by "
                 << release.withdrawnBy.value_or("");
        }
        out_ << '\n';
    }
    if (const int printed = Printed(); printed != kExitSuccess) {
        return printed;
    }
    if (all.empty()) {
        ui_.Info((options_.seriesName ? "the serial series '" + *options_.seriesName + "'"
                                      : "the station database (" + database.Name() + ")") +
                 " has no released image; release one with 'vantix-cli station-db release "
                 "SERIES FILE --cpu CPU'");
    }
    return kExitSuccess;
}

int StationDbRun::Fail(const StationDbOutcome& outcome) {
    for (const std::string& line : outcome.Lines()) {
        ui_.Error("vantix-cli: " + line);
    }
    return outcome.status;
}

namespace {

constexpr const char* kReleaseCpuText =
    "release: the CPU of the boards the image is for, DSP56F803,\n"
    "DSP56F805, DSP56F807 or 803, 805, 807, in any letter case";
constexpr const char* kSeriesWordsText =
    "width of a new series' numbers: 1 word (up to 65535, the\n"
    "default) or 2 (up to 4294967295)";

constexpr std::array<OptionUse, 3> kOptions = {
    {{&kCpuRow, kReleaseCpuText}, {&kSerialWordsRow, kSeriesWordsText}, {&kStartRow}}};

std::string Read(const OptionReader& reader, std::unique_ptr<CommandOptions>& options) {
    auto stationDb = std::make_unique<StationDbOptions>();
    const std::string refusal = ReadStationDbOptions(reader, *stationDb);
    options = std::move(stationDb);
    return refusal;
}

int Run(const CliParseResult& parsed, const CliContext& context) {
    return StationDbRun(*parsed.As<StationDbOptions>(), parsed.global.records.stationDb,
                        context.environment, context.ui, context.out)
        .Run();
}

constexpr OperandInfo kOperands[] = {
    {"ACTION", "init, series, grant, release, withdraw or releases"},
    {"NAME", "the serial series, or the role grant gives"},
    {"THIRD", "release: the S-record file; withdraw: its SHA-256; grant: the login"},
};

constexpr CommandInfo kStationDb = {
    .command = CliCommand::StationDb,
    .name = "station-db",
    .needsFile = false,
    .needsCpu = false,
    .summary = "set up the line's station database and its serial series",
    .description =
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
    .example =
        "vantix-cli station-db grant station station3 --station-db "
        "postgresql://line_owner@db1/line",
    .options = kOptions,
    .refuseForeign = nullptr,
    .read = Read,
    .run = Run,
    .operands = kOperands,
    .usageTail = " ACTION [ARGS]",
    .actions = kStationDbActions,
};

}  // namespace

const CommandInfo& StationDbCommand() {
    return kStationDb;
}
