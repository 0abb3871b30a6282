#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "commandline/GlobalOptions.h"
#include "records/RunLog.h"
#include "records/RunRecord.h"
#include "run/BoardCommand.h"
#include "run/LineTally.h"
#include "station/WaitNotice.h"
#include "stationdb/StationDb.h"

class ConsoleUi;
struct CliEnvironment;

// Keeps the record of each board a pod command works on: --json prints it, --log appends it,
// the station database stores it. A record that cannot be logged or stored stops the line.
class RunRecorder {
public:
    // Both outlive the recorder.
    RunRecorder(const BoardCommand& board, const GlobalOptions& globals,
                const CliEnvironment& environment, ConsoleUi& ui, std::ostream& out);

    // Opens the --log file, when one is named; false after reporting.
    bool OpenLog();
    // Opens the station database that --station-db or VANTIX_STATION_DB names, if any: its
    // tables and the serial series the command takes numbers from are checked, and what an
    // earlier run spooled is sent, all before the pod is touched. kExitSuccess, or the exit
    // status after reporting.
    int OpenStationDb();
    // The run's station database, or null.
    StationDb* Database() { return database_.get(); }
    // The UUID of the board's run, which its number and every copy of its record carry; a
    // new one for the next board once the record is kept.
    const std::string& RunId() const { return runId_; }
    const std::string& Station() const { return station_; }
    // How the run waits for what another process holds: it says so after a second on the
    // console, and stops at Ctrl+C.
    const WaitNotice& Waiting() const { return waiting_; }
    // The record of a run refused before anything of it was done: the command, its file and
    // CPU as far as they were read, its board, with the refusal as its status.
    static RunRecord RefusalRecord(const char* command, const RecordFacts& facts,
                                   const std::string& boardId, const std::string& status,
                                   int exitCode);
    // Keeps the record of a run refused before its pod was chosen (the files it would write,
    // the log, the station database); returns the status.
    int KeepRefusal(int status);
    // Before the board's pod is touched, once it holds (or is about to take) a number: the
    // board's started entry on local disk, in the station database's journal, or else in the
    // log, so that whatever becomes of the station the number is never without an entry. The
    // board's record supersedes it. False after reporting when it cannot be written: the
    // board must then not be touched.
    bool Started(const RunRecord& record);
    // The record of one board, with what the board ended with, which the record's exit says;
    // returns the run's exit status, which a log that cannot be written or a database that
    // cannot store the record turns into kExitRecordLost (an interruption keeps its own).
    int Keep(RunRecord& record, int status);
    // A board's record could not be logged or stored, or another of its outputs (its
    // trace, the standard output) is incomplete: the line stops.
    bool RecordLost() const { return recordLost_; }
    void MarkLost() { recordLost_ = true; }
    // What became of the last board's record.
    RecordFate LastFate() const { return fate_; }
    // The board at work: --board-id, then the operator's line at the prompt.
    std::string& BoardId() { return boardId_; }
    bool Interrupted() const;

private:
    StationDbOutcome CheckSeries();
    StationDbOutcome SendSpool();
    void Report(const std::string& message);
    // Prints the record with --json and checks stdout; the status, 4 when it did not arrive.
    int Print(const RunRecord& record, int status);
    // Stores the record's line in the station database. One that cannot be stored is
    // spooled and the status becomes kExitRecordLost (an interruption and a 3 keep theirs).
    // Returns the status, and what went wrong in `lost`; `logged`: the log holds the line.
    int Store(const std::string& line, bool logged, int status, std::string& lost);

    const BoardCommand& board_;
    const GlobalOptions& globals_;
    const CliEnvironment& environment_;
    ConsoleUi& ui_;
    std::ostream& out_;
    RunLog log_;
    bool recordLost_ = false;
    bool stdoutLost_ = false;  // reported, once
    RecordFate fate_ = RecordFate::Stored;
    std::string boardId_;
    std::unique_ptr<StationDb> database_;
    std::string runId_;
    std::string station_;
    WaitNotice waiting_;
};
