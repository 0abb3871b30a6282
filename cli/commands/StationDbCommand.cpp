#include "commands/StationDbCommand.h"

#include "commandline/CliOptions.h"
#include "commands/CliEnvironment.h"
#include "commands/ConsoleUi.h"
#include "commands/OutputFailure.h"

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
    const std::string url = ChosenStationDb(options_.stationDb, environment_, refusal);
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
    if (const std::string failure = OutputFailure(out_); !failure.empty()) {
        return Fail({kExitInputError, failure});
    }
    if (all.empty()) {
        ui_.Info("the station database (" + database.Name() +
                 ") has no serial series; create one with 'vantix-cli station-db series NAME "
                 "--start N'");
    }
    return kExitSuccess;
}

int StationDbCommand::Fail(const StationDbOutcome& outcome) {
    for (const std::string& line : outcome.Lines()) {
        ui_.Error("vantix-cli: " + line);
    }
    return outcome.status;
}
