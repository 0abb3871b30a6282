#pragma once

#include <functional>
#include <optional>

#include "stationdb/PgConnection.h"
#include "stationdb/RecordSpool.h"
#include "stationdb/RecordStore.h"
#include "stationdb/RunJournal.h"
#include "stationdb/SerialSeries.h"
#include "stationdb/StationDb.h"
#include "stationdb/StationRoles.h"
#include "stationdb/StationSchema.h"

// The station database on PostgreSQL through libpq. A connection that drops is made again
// once before a call gives up, so that a server restarted between two boards costs nothing.
class PgStationDb final : public StationDb {
public:
    PgStationDb(const std::string& url, const WaitNotice& notice);

    // Reads the URL and connects: 2 for a URL that libpq does not read, 3 when the database
    // cannot be reached or refuses the login.
    StationDbOutcome Connect();

    std::string Name() const override { return db_.Name(); }
    std::vector<std::string> SpoolFiles() const override;
    StationDbOutcome CreateTables(int& found) override;
    StationDbOutcome CheckTables() override;
    StationDbOutcome CheckStationTables() override;
    StationDbOutcome Grant(const std::string& word, const std::string& login) override;
    StationDbOutcome CreateSeries(const std::string& name, std::uint64_t first, int words,
                                  bool& created, SeriesInfo& series) override;
    StationDbOutcome ListSeries(std::vector<SeriesInfo>& all) override;
    StationDbOutcome FindSeries(const std::string& name, SeriesInfo& series) override;
    StationDbOutcome CheckWriting(const std::optional<std::string>& series) override;
    StationDbOutcome Release(const ReleaseInfo& image, bool& added, ReleaseInfo& found) override;
    StationDbOutcome Withdraw(const std::string& series, const std::string& sha256,
                              const std::optional<std::string>& cpu,
                              std::vector<ReleaseInfo>& withdrawn) override;
    StationDbOutcome ListReleases(const std::optional<std::string>& series, bool openOnly,
                                  std::vector<ReleaseInfo>& all) override;
    StationDbOutcome TakeNumber(const std::string& series, const std::string& run,
                                const std::string& station, const std::string& board,
                                std::uint64_t& number) override;
    StationDbOutcome SendSpool(int& sent) override;
    StationDbOutcome Note(const std::string& logLine, const std::string& station,
                          const std::string& run) override;
    StationDbOutcome StoreRecord(const std::string& logLine, const std::string& station,
                                 const std::string& run) override;
    StationDbOutcome SpoolRecord(const std::string& logLine, const std::string& station,
                                 const std::string& run) override;

private:
    // The reply's failure as the run's outcome: what the call was doing, and why it failed.
    StationDbOutcome Failed(const std::string& doing, const PgReply& reply) const;
    // Why `login` may not be given a role of the line; nothing when it may.
    StationDbOutcome GrantRefusal(const std::string& login,
                                  const StationRoles::LoginState& state) const;
    StationDbOutcome NoSuchSeries(const std::string& name) const;
    // That `login` may not do `what` (store records, say) and how it gets the station's role.
    StationDbOutcome NoStationRole(const std::string& login, const std::string& what) const;
    // The tables, the series when one is named, and the table of released images there; with
    // a privilege, the login must hold it on that table (`doing` says what it would do).
    StationDbOutcome ReleasesReady(const std::optional<std::string>& series,
                                   const char* privilege = nullptr, const char* doing = "");
    // After a lost connection: connects again; false when that fails too (`reason` says why).
    bool Reconnect(std::string& reason);
    // One try at the number, then its lookup by the run after a lost connection.
    PgReply TakeOrLookUp(const std::string& series, const std::string& run,
                         const std::string& claim, std::optional<std::uint64_t>& number);
    PgReply Store(const std::string& line, bool& added);
    // Runs `work` holding the run's advisory lock, which says that this session is taking the
    // run's number.
    PgReply Locked(const std::string& run, const std::function<PgReply()>& work);
    // Sends one spooled line; `waiting` counts the started entries whose numbers another
    // session is still taking.
    RecordSpool::Sent Send(const std::string& spooled, PgReply& failure, int& waiting);
    // A started entry as the record of a run whose end is unknown: its status "unknown", and
    // the number its run took from a series. `taking`: another session is taking that number
    // still; `none`: the run took none, and its board was never touched.
    PgReply AsUnknown(std::string& line, bool& taking, bool& none);

    PgConnection db_;
    StationSchema schema_{db_};
    SerialSeries series_{db_};
    RecordStore records_{db_};
    ReleaseTable releases_{db_};
    std::optional<RecordSpool> spool_;  // named once the database is known
    WaitNotice notice_;
    std::optional<RunJournal> journal_;  // beside the spool
    std::string noted_;                  // the record line the journal holds last
    bool tablesDenied_ = false;  // the last CheckTables was refused the tables by the server
};
