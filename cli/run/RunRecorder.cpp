#include "run/RunRecorder.h"

#include <algorithm>

#include "CliExit.h"
#include "ResolvedPath.h"
#include "run/CliEnvironment.h"
#include "run/ConsoleUi.h"
#include "run/OutputFailure.h"
#include "run/RunFilesOf.h"

RunRecorder::RunRecorder(const BoardCommand& board, const GlobalOptions& globals,
                         const CliEnvironment& environment, ConsoleUi& ui, std::ostream& out)
    : board_(board),
      globals_(globals),
      environment_(environment),
      ui_(ui),
      out_(out),
      boardId_(globals.records.boardId),
      runId_(StationDb::NewRunId()),
      station_(globals.records.station.empty() ? RunLog::HostName() : globals.records.station) {
    waiting_.interrupted = environment.interrupted;
    waiting_.signal = environment.interruptSignal;
    waiting_.say = [&ui](const std::string& text) { ui.Notice(text); };
}

bool RunRecorder::OpenLog() {
    std::string error;
    if (!globals_.records.logPath.empty() && !log_.Open(globals_.records.logPath, error)) {
        ui_.Error("vantix-cli: " + error);
        return false;
    }
    return true;
}

int RunRecorder::OpenStationDb() {
    std::string refusal;
    const std::string url = ChosenStationDb(globals_.records.stationDb, environment_, refusal);
    if (url.empty()) {
        // A station name or a series without a database would record nothing of either.
        refusal = !refusal.empty() ? refusal
                  : board_.series  ? "--serial-series needs --station-db URL (or "
                                     "VANTIX_STATION_DB)"
                  : !globals_.records.station.empty() ? "--station needs --station-db URL (or "
                                                        "VANTIX_STATION_DB), whose records name it"
                                                      : "";
        if (!refusal.empty()) {
            Report(refusal);
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
        if (const std::string clash = FileClash(RunFilesOf(globals_, board_), spool); !clash.empty()) {
            // A refusal written into the file it clashes with would spoil that file for
            // good: this run writes nothing at all.
            log_.Abandon();
            outcome = {kExitInputError, clash};
        }
    }
    if (outcome.Ok()) {
        outcome = database_->CheckStationTables();
    }
    if (outcome.Ok() && board_.series) {
        outcome = CheckSeries();
    }
    if (outcome.Ok()) {
        // A login that may only read is found out now, before any board.
        outcome = database_->CheckWriting(board_.series ? std::optional(board_.series->name)
                                                        : std::nullopt);
    }
    if (outcome.Ok()) {
        outcome = SendSpool();
    }
    if (!outcome.Ok()) {
        Report(outcome.message);
        database_.reset();
        return outcome.status;
    }
    return kExitSuccess;
}

StationDbOutcome RunRecorder::CheckSeries() {
    SeriesInfo series;
    StationDbOutcome outcome = database_->FindSeries(board_.series->name, series);
    const std::string name = "the serial series '" + series.name + "'";
    if (outcome.Ok() && series.words > board_.series->words) {
        outcome = {kExitInputError, name + " hands out numbers of 2 words, which --serial-words " +
                                        std::to_string(board_.series->words) + " cannot hold"};
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

int RunRecorder::Store(const std::string& line, bool logged, int status, std::string& lost) {
    const StationDbOutcome stored = database_->StoreRecord(line, station_, runId_);
    if (stored.Ok()) {
        return status;
    }
    // A board that was never started because something was out of reach keeps its 3.
    if (!Interrupted() && status != kExitUnreachable) {
        recordLost_ = true;
        status = kExitRecordLost;
    }
    const StationDbOutcome spooled = database_->SpoolRecord(line, station_, runId_);
    fate_ = std::max(fate_, spooled.Ok() ? RecordFate::Spooled : RecordFate::Lost);
    lost = stored.message + "\n" + spooled.message;
    if (!spooled.Ok()) {
        lost += logged ? "\nthe record of this board is only in the log " +
                             globals_.records.logPath + ", not in the station database; stopping"
                       : "\nthe record of this board is lost; stopping";
    }
    return status;
}

RunRecord RunRecorder::RefusalRecord(const char* command, const RecordFacts& facts,
                                     const std::string& boardId, const std::string& status,
                                     int exitCode) {
    RunRecord record;
    record.command = command;
    if (facts.file) {
        record.file = AbsolutePath(*facts.file);
    }
    if (facts.cpu) {
        record.cpu = CpuName(*facts.cpu);
    }
    if (!boardId.empty()) {
        record.board = boardId;
    }
    record.status = status;
    record.exitCode = exitCode;
    return record;
}

int RunRecorder::KeepRefusal(int status) {
    RunRecord record = RefusalRecord(board_.name, board_.facts, globals_.records.boardId,
                                     ui_.LastMessage(), status);
    return Keep(record, status);
}

bool RunRecorder::Interrupted() const {
    return environment_.interrupted != nullptr && environment_.interrupted->load();
}

bool RunRecorder::Started(const RunRecord& record) {
    if (!database_ && !log_.IsOpen()) {
        return true;  // no record is kept anywhere
    }
    RunRecord entry = record;
    entry.board = boardId_.empty() ? std::nullopt : std::optional<std::string>(boardId_);
    if (!globals_.pod.serial.empty()) {
        entry.pod = globals_.pod.serial;
    }
    entry.result.reset();
    entry.status = kStartedStatus;
    entry.seconds = 0.0;
    entry.exitCode = kExitUnknown;
    const std::string line = RunLogJson(entry, RunLog::UtcNow(true), RunLog::HostName(), runId_);
    std::string error;
    if (database_) {
        const StationDbOutcome noted = database_->Note(line, station_, runId_);
        error = noted.message;
    } else {
        log_.Append(line, error);
    }
    if (!error.empty()) {
        ui_.Error("vantix-cli: " + error);
        ui_.Error("vantix-cli: the board's started entry cannot be kept; the board is not touched");
    }
    return error.empty();
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
    // The record says how its board ended; what became of the record itself is the run's
    // exit status and the tally's to say.
    record.exitCode = status;
    fate_ = RecordFate::Stored;
    const std::string line = RunLogJson(record, RunLog::UtcNow(true), RunLog::HostName(), runId_);
    // On local disk first, synced, before anything goes over the network: the station
    // database's journal, whose next run sends it should this one die now, and the log.
    StationDbOutcome noted;
    if (database_) {
        noted = database_->Note(line, station_, runId_);
    }
    std::string error;
    const bool logged = log_.IsOpen() && log_.Append(line, error);
    if (log_.IsOpen() && !logged) {
        recordLost_ = true;
        fate_ = RecordFate::Lost;
        if (!Interrupted()) {
            status = kExitRecordLost;
        }
    }
    std::string notStored;
    if (database_) {
        status = Store(line, logged, status, notStored);
    }
    if (!noted.Ok()) {
        // Whatever became of the record, a station whose disk refuses it must hear of it,
        // quiet or not: its next record may have nowhere else to go.
        ui_.Finish();
        ui_.Error("vantix-cli: " + noted.message);
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
                  globals_.records.logPath + "; stopping");
    }
    runId_ = StationDb::NewRunId();
    return status;
}

int RunRecorder::Print(const RunRecord& record, int status) {
    if (board_.json) {
        out_ << RunRecordJson(record) << '\n';
    }
    // The record on stdout, or what the command printed there (pod-info's lines), that did
    // not arrive: the board ran, its record is incomplete, and the line stops.
    const std::string unprinted = OutputFailure(out_);
    if (unprinted.empty()) {
        return status;
    }
    recordLost_ = true;
    fate_ = RecordFate::Lost;
    if (!stdoutLost_) {
        stdoutLost_ = true;
        ui_.Finish();
        ui_.Error("vantix-cli: " + unprinted);
    }
    const bool ran = status == kExitSuccess || status == kExitFailed;
    return ran && !Interrupted() ? kExitRecordLost : status;
}
