#include "run/StationDbCommand.h"

#include "SFileImage.h"
#include "Utf8Path.h"
#include "commandline/CliOptions.h"
#include "records/ImageDigests.h"
#include "records/JsonText.h"
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

StationDbCommand::StationDbCommand(const CliOptions& options, const CliEnvironment& environment,
                                   ConsoleUi& ui, std::ostream& out)
    : options_(options), environment_(environment), ui_(ui), out_(out) {}

int StationDbCommand::Run() {
    std::string refusal;
    const std::string url = ChosenStationDb(options_.records.stationDb, environment_, refusal);
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
    if (options_.stationDbAction == "init") {
        return Init(*database);
    }
    if (options_.stationDbAction == "grant") {
        return Grant(*database);
    }
    if (options_.stationDbAction == "release") {
        return Release(*database);
    }
    if (options_.stationDbAction == "withdraw") {
        return Withdraw(*database);
    }
    if (options_.stationDbAction == "releases") {
        return ListReleases(*database);
    }
    return options_.seriesName ? CreateSeries(*database) : ListSeries(*database);
}

int StationDbCommand::Init(StationDb& database) {
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

int StationDbCommand::Grant(StationDb& database) {
    const std::string& login = options_.grantLogin;
    const std::string& word = options_.grantRole;
    if (const StationDbOutcome outcome = database.Grant(word, login); !outcome.Ok()) {
        return Fail(outcome);
    }
    ui_.Info("granted the role vantix_" + word + " to the login '" + login + "' in " +
             "the station database (" + database.Name() + ")");
    return kExitSuccess;
}

int StationDbCommand::CreateSeries(StationDb& database) {
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

int StationDbCommand::ListSeries(StationDb& database) {
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

int StationDbCommand::Printed() {
    if (const std::string failure = OutputFailure(out_); !failure.empty()) {
        return Fail({kExitInputError, failure});
    }
    return kExitSuccess;
}

int StationDbCommand::Release(StationDb& database) {
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

int StationDbCommand::Withdraw(StationDb& database) {
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

int StationDbCommand::ListReleases(StationDb& database) {
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

int StationDbCommand::Fail(const StationDbOutcome& outcome) {
    for (const std::string& line : outcome.Lines()) {
        ui_.Error("vantix-cli: " + line);
    }
    return outcome.status;
}
