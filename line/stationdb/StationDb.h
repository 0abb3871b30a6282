#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CliExit.h"
#include "station/WaitNotice.h"
#include "stationdb/ReleaseTable.h"
#include "stationdb/SerialSeries.h"

// How a call on the station database ended: kExitSuccess, or the exit status the run ends
// with and why, worded for the user (a line each, without the program's name).
struct StationDbOutcome {
    int status = kExitSuccess;
    std::string message;
    bool Ok() const { return status == kExitSuccess; }
    std::vector<std::string> Lines() const;
};

// The one place a line keeps its serial numbers and its boards' records: a PostgreSQL
// database that every station of the line reaches. Builds without a PostgreSQL client have
// none: Open refuses there.
class StationDb {
public:
    // The version of the tables this program sets up and works with.
    static constexpr int kTablesVersion = 3;

    virtual ~StationDb() = default;

    // Connects to the database the URL (a libpq connection string or URI) names. Null with
    // the outcome: 2 for a URL libpq does not read or a build without the client, 3 for a
    // database that cannot be reached or refuses the login. Every wait on the server or on
    // the spool's lock goes as `notice` says; an interrupted one ends with the signal's
    // status.
    static std::unique_ptr<StationDb> Open(const std::string& url, StationDbOutcome& outcome,
                                           const WaitNotice& notice = {});
    // A new run's identifier: a random (version 4) UUID.
    static std::string NewRunId();

    // "dbname=line host=/run/postgresql port=5432 user=station": never the password.
    virtual std::string Name() const = 0;
    // The files this host keeps for the database: its spool and the spool's lock.
    virtual std::vector<std::string> SpoolFiles() const = 0;

    // Creates the tables and the roles of the line's logins unless they exist, and moves
    // older tables to this program's version (station-db init); `found` is the version the
    // database held before (0: none).
    virtual StationDbOutcome CreateTables(int& found) = 0;
    // Tables there, of this program's version: else 2, naming what creates or moves them.
    virtual StationDbOutcome CheckTables() = 0;
    // CheckTables for a station's run: a login the server keeps out of the tables is told
    // that it may not store records and how it is given the station's role (3).
    virtual StationDbOutcome CheckStationTables() = 0;
    // Grants `login` the role of `word`: station, reader or admin (station-db grant). 2 for
    // a login the server does not know.
    virtual StationDbOutcome Grant(const std::string& word, const std::string& login) = 0;
    virtual StationDbOutcome CreateSeries(const std::string& name, std::uint64_t first, int words,
                                          bool& created, SeriesInfo& series) = 0;
    virtual StationDbOutcome ListSeries(std::vector<SeriesInfo>& all) = 0;
    // The series, or 2 naming the command that creates it.
    virtual StationDbOutcome FindSeries(const std::string& name, SeriesInfo& series) = 0;
    // Whether the login may store records and, with a series, take its numbers: else 3, with
    // what it may not do.
    virtual StationDbOutcome CheckWriting(const std::optional<std::string>& series) = 0;

    // Releases the image for its series (station-db release): 2 for a series or table that
    // does not exist, 3 for a login that may not release. `added` is false when it was
    // released already; `found` holds the release as the database keeps it.
    virtual StationDbOutcome Release(const ReleaseInfo& image, bool& added,
                                     ReleaseInfo& found) = 0;
    // Withdraws the image from the series, for the CPU named ("DSP56F807") or else for
    // every CPU: `withdrawn` holds what was open.
    virtual StationDbOutcome Withdraw(const std::string& series, const std::string& sha256,
                                      const std::optional<std::string>& cpu,
                                      std::vector<ReleaseInfo>& withdrawn) = 0;
    // The releases of a series (every series without one), oldest first; only those not
    // withdrawn with `openOnly`. 2 for a series or table that does not exist.
    virtual StationDbOutcome ListReleases(const std::optional<std::string>& series, bool openOnly,
                                          std::vector<ReleaseInfo>& all) = 0;

    // Takes the series' next number for the run, committed before this returns. An outcome
    // left unknown by a lost connection is looked up by the run's UUID, never taken again.
    virtual StationDbOutcome TakeNumber(const std::string& series, const std::string& run,
                                        const std::string& station, const std::string& board,
                                        std::uint64_t& number) = 0;
    // Sends the records an earlier run spooled for this database, and what the runs of ended
    // processes left on this host (a started entry goes as "status":"unknown", with the
    // number its run took; one whose run took none, its board untouched, goes nowhere);
    // `sent` counts those the database now holds.
    virtual StationDbOutcome SendSpool(int& sent) = 0;
    // Keeps an entry of the run on local disk, synced, before anything of it goes over the
    // network: its started entry before the pod is touched, then the board's record before
    // it is stored. Should the run end before the database has the record, the next run on
    // this host sends the last of them. kExitRecordLost with the reason when it cannot.
    virtual StationDbOutcome Note(const std::string& logLine, const std::string& station,
                                  const std::string& run) = 0;
    // Stores a board's record: its --log line with the station and the run added, after which
    // the run's entries on local disk are done with. kExitRecordLost when it cannot be stored,
    // with the reason.
    virtual StationDbOutcome StoreRecord(const std::string& logLine, const std::string& station,
                                         const std::string& run) = 0;
    // Keeps a record that could not be stored for the next run to send: where Note put it, or
    // in the spool; the outcome says where it is (kExitSuccess), or why it cannot be kept
    // (kExitRecordLost).
    virtual StationDbOutcome SpoolRecord(const std::string& logLine, const std::string& station,
                                         const std::string& run) = 0;
};
