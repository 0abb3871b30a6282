#include "commands/RunRecorder.h"

#include "ResolvedPath.h"
#include "commandline/CliExit.h"
#include "commandline/CliOptions.h"
#include "commandline/CommandTable.h"
#include "commands/CliEnvironment.h"
#include "commands/ConsoleUi.h"
#include "commands/OutputFailure.h"
#include "station/StationFiles.h"

RunRecorder::RunRecorder(const CliOptions& options, const CliEnvironment& environment,
                         ConsoleUi& ui, std::ostream& out)
    : options_(options),
      environment_(environment),
      ui_(ui),
      out_(out),
      boardId_(options.boardId),
      station_(options.station.empty() ? RunLog::HostName() : options.station) {
    waiting_.interrupted = environment.interrupted;
    waiting_.signal = environment.interruptSignal;
    waiting_.say = [&ui](const std::string& text) { ui.Notice(text); };
}

bool RunRecorder::OpenLog() {
    std::string error;
    if (!options_.logPath.empty() && !log_.Open(options_.logPath, error)) {
        ui_.Error("vantix-cli: " + error);
        return false;
    }
    return true;
}

int RunRecorder::OpenStationDb() {
    const std::string& url = !options_.stationDb.empty() ? options_.stationDb
                                                         : environment_.stationDb;
    if (url.empty()) {
        if (options_.serialSeries) {
            Report("--serial-series needs --station-db URL (or VANTIX_STATION_DB)");
            return kExitInputError;
        }
        return kExitSuccess;
    }
    StationDbOutcome outcome;
    database_ = StationDb::Open(url, outcome, waiting_);
    if (outcome.Ok()) {
        // The spool is written beside the run's other files: none of them may be it.
        std::vector<NamedFile> spool;
        for (const std::string& path : database_->SpoolFiles()) {
            spool.push_back({"the station database's spool", path});
        }
        if (const std::string clash = FileClash(options_, spool); !clash.empty()) {
            outcome = {kExitInputError, clash};
        }
    }
    if (outcome.Ok()) {
        outcome = database_->CheckTables();
    }
    if (outcome.Ok() && options_.serialSeries) {
        outcome = CheckSeries();
    }
    if (outcome.Ok()) {
        outcome = SendSpool();
    }
    if (!outcome.Ok()) {
        Report(outcome.message);
        database_.reset();
        return outcome.status;
    }
    runId_ = StationDb::NewRunId();
    return kExitSuccess;
}

StationDbOutcome RunRecorder::CheckSeries() {
    SeriesInfo series;
    StationDbOutcome outcome = database_->FindSeries(*options_.serialSeries, series);
    const std::string name = "the serial series '" + series.name + "'";
    if (outcome.Ok() && series.words > options_.serialWords) {
        outcome = {kExitInputError, name + " hands out numbers of 2 words, which --serial-words " +
                                        std::to_string(options_.serialWords) + " cannot hold"};
    } else if (outcome.Ok() && !series.next) {
        outcome = {kExitInputError, name + " is used up"};
    }
    return outcome;
}

StationDbOutcome RunRecorder::SendSpool() {
    int sent = 0;
    StationDbOutcome outcome = database_->SendSpool(sent);
    if (sent > 0) {
        ui_.Info("sent " + std::to_string(sent) + " spooled record" +
                 (sent == 1 ? "" : "s") + " to the station database (" + database_->Name() + ")");
    }
    if (outcome.Ok() && !outcome.message.empty()) {
        Report(outcome.message);  // records the database refused stay spooled
    }
    return outcome;
}

void RunRecorder::Report(const std::string& message) {
    for (const std::string& line : StationDbOutcome{kExitSuccess, message}.Lines()) {
        ui_.Error("vantix-cli: " + line);
    }
}

int RunRecorder::Store(RunRecord& record, const std::string& time, const std::string& host,
                       int status, std::string& lost) {
    const StationDbOutcome stored =
        database_->StoreRecord(RunLogJson(record, time, host), station_, runId_);
    if (stored.Ok()) {
        return status;
    }
    // A board that was never started because something was out of reach keeps its 3.
    if (!Interrupted() && status != kExitUnreachable) {
        recordLost_ = true;
        status = kExitRecordLost;
    }
    // The spooled record says how the run ended, as the log line after it does.
    record.exitCode = status;
    const StationDbOutcome spooled =
        database_->SpoolRecord(RunLogJson(record, time, host), station_, runId_);
    lost = stored.message + "\n" + spooled.message;
    return status;
}

bool RunRecorder::KeepsRecords(CliCommand command) {
    switch (command) {
        case CliCommand::PodInfo:
        case CliCommand::Write:
        case CliCommand::WriteVerify:
        case CliCommand::Verify:
        case CliCommand::PodWrite:
        case CliCommand::PodVerify:
        case CliCommand::Reset:
        case CliCommand::Erase:
        case CliCommand::BlankCheck:
            return true;
        default:
            return false;
    }
}

RunRecord RunRecorder::RefusalRecord(const CliOptions& options, const std::string& status,
                                     int exitCode) {
    RunRecord record;
    record.command = CommandOf(options.command).name;
    if (options.file) {
        record.file = AbsolutePath(*options.file);
    }
    if (options.cpu) {
        record.cpu = CpuName(*options.cpu);
    }
    if (!options.boardId.empty()) {
        record.board = options.boardId;
    }
    record.status = status;
    record.exitCode = exitCode;
    return record;
}

int RunRecorder::KeepRefusal(int status) {
    RunRecord record = RefusalRecord(options_, ui_.LastMessage(), status);
    return Keep(record, status);
}

bool RunRecorder::Interrupted() const {
    return environment_.interrupted != nullptr && environment_.interrupted->load();
}

int RunRecorder::Keep(RunRecord& record, int status) {
    if (record.status.empty()) {
        record.status = ui_.LastMessage();
    }
    if (Interrupted()) {
        // The step that was cut short did not fail: say what happened.
        record.status = "interrupted";
        record.result.reset();
    }
    record.board.reset();
    if (!boardId_.empty()) {
        record.board = boardId_;
    }
    record.exitCode = status;
    const std::string time = RunLog::UtcNow();
    const std::string host = RunLog::HostName();
    std::string notStored;
    if (database_) {
        status = Store(record, time, host, status, notStored);
    }
    std::string error;
    if (log_.IsOpen() && !log_.Append(RunLogJson(record, time, host), error)) {
        recordLost_ = true;
        if (!Interrupted()) {
            status = kExitRecordLost;
        }
        record.exitCode = status;
    }
    status = Print(record, status);
    if (!notStored.empty()) {
        ui_.Finish();
        Report(notStored);
    }
    if (recordLost_ && !error.empty()) {
        ui_.Finish();
        ui_.Error("vantix-cli: " + error);
        ui_.Error("vantix-cli: the record of this board is missing from the log " +
                  options_.logPath + "; stopping");
    }
    if (database_) {
        runId_ = StationDb::NewRunId();
    }
    return status;
}

int RunRecorder::Print(const RunRecord& record, int status) {
    if (options_.json) {
        out_ << RunRecordJson(record) << '\n';
    }
    // The record on stdout, or what the command printed there (pod-info's lines), that did
    // not arrive: the board ran, its record is incomplete, and the line stops.
    const std::string unprinted = OutputFailure(out_);
    if (unprinted.empty()) {
        return status;
    }
    recordLost_ = true;
    if (!stdoutLost_) {
        stdoutLost_ = true;
        ui_.Finish();
        ui_.Error("vantix-cli: " + unprinted);
    }
    const bool ran = status == kExitSuccess || status == kExitFailed;
    return ran && !Interrupted() ? kExitRecordLost : status;
}
