#include "stationdb/PgStationDb.h"

#include <charconv>

#include <nlohmann/json.hpp>

#include "records/JsonText.h"
#include "records/RunRecord.h"

static_assert(StationSchema::kVersion == StationDb::kTablesVersion);

namespace {

bool OutOfReach(const PgReply& reply) {
    return reply.kind == PgReply::Kind::Lost || reply.kind == PgReply::Kind::TimedOut;
}

std::string Quoted(const std::string& name) {
    return "'" + name + "'";
}

// A name as a shell's word: quoted unless it is plainly one.
std::string ShellWord(const std::string& name) {
    if (!name.empty() && name.find_first_not_of("abcdefghijklmnopqrstuvwxyz"
                                                "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_.-") ==
                             std::string::npos) {
        return name;
    }
    std::string word = "'";
    for (const char c : name) {
        word += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return word + "'";
}

std::string CreateSeriesHint(const std::string& name) {
    return "create it with 'vantix-cli station-db series " + name + " --start N'";
}

// The advisory lock of a run: the first 64 bits of its UUID, as PostgreSQL's bigint.
std::string RunLockKey(const std::string& run) {
    std::string hex;
    for (const char c : run) {
        if (c != '-' && hex.size() < 16) {
            hex += c;
        }
    }
    std::uint64_t key = 0;
    std::from_chars(hex.data(), hex.data() + hex.size(), key, 16);
    return std::to_string(static_cast<std::int64_t>(key));
}

std::string KeptText(const std::string& path) {
    return "the record of this board is kept in " + path +
           " and goes to the station database with the next run; stopping";
}

}  // namespace

PgStationDb::PgStationDb(const std::string& url, const WaitNotice& notice)
    : db_(url, notice), notice_(notice) {}

StationDbOutcome PgStationDb::Connect() {
    std::string error;
    if (!db_.Parse(error)) {
        return {kExitInputError, error};
    }
    if (!db_.Connect(error)) {
        if (db_.Interrupted()) {
            return {notice_.InterruptedStatus(), error};
        }
        return {kExitUnreachable, "cannot connect to the station database (" + Name() + "): " + error};
    }
    spool_.emplace(Name(), notice_);
    journal_.emplace(spool_->Base());
    return {};
}

std::vector<std::string> PgStationDb::SpoolFiles() const {
    if (!spool_) {
        return {};
    }
    return {spool_->Path(), spool_->LockPath()};
}

StationDbOutcome PgStationDb::Failed(const std::string& doing, const PgReply& reply) const {
    if (reply.kind == PgReply::Kind::Interrupted) {
        return {notice_.InterruptedStatus(), reply.error};
    }
    // Out of reach, or refusing what this program needs: the database cannot be used.
    return {kExitUnreachable,
            "cannot " + doing + " in the station database (" + Name() + "): " + reply.error};
}

bool PgStationDb::Reconnect(std::string& reason) {
    return db_.Connect(reason);
}

StationDbOutcome PgStationDb::CreateTables(int& found) {
    int version = 0;
    const PgReply reply = schema_.Create(found, version);
    if (!reply.Done()) {
        return Failed(found == 0 ? "create the tables"
                                 : "move the tables from version " + std::to_string(found) +
                                       " to " + std::to_string(StationSchema::kVersion),
                      reply);
    }
    if (version > StationSchema::kVersion) {
        return CheckTables();
    }
    return {};
}

StationDbOutcome PgStationDb::CheckTables() {
    int version = 0;
    PgReply reply = schema_.Version(version);
    if (std::string reason; OutOfReach(reply) && Reconnect(reason)) {
        // A station waits between boards: a server restarted meanwhile is reached again.
        reply = schema_.Version(version);
    }
    tablesDenied_ = reply.kind == PgReply::Kind::ServerError && reply.sqlState == "42501";
    if (!reply.Done()) {
        return Failed("read the tables' version", reply);
    }
    if (version == 0) {
        return {kExitInputError, "the station database (" + Name() +
                                     ") has no vantix tables; create them with 'vantix-cli "
                                     "station-db init'"};
    }
    if (version > StationSchema::kVersion) {
        return {kExitInputError,
                "the station database (" + Name() + ") has tables of version " +
                    std::to_string(version) + ", newer than this vantix-cli knows (" +
                    std::to_string(StationSchema::kVersion) + "); use a newer vantix-cli"};
    }
    if (version < StationSchema::kVersion) {
        return {kExitInputError,
                "the station database (" + Name() + ") has tables of version " +
                    std::to_string(version) + "; its owner moves them to version " +
                    std::to_string(StationSchema::kVersion) + " with 'vantix-cli station-db init'"};
    }
    return {};
}

StationDbOutcome PgStationDb::CheckStationTables() {
    StationDbOutcome tables = CheckTables();
    if (!tablesDenied_) {
        return tables;
    }
    // A login without any of the line's roles may not even see the tables.
    const PgReply login = db_.Exec("SELECT current_user");
    return login.Done() && login.Value() ? NoStationRole(*login.Value(), "store records")
                                         : tables;
}

StationDbOutcome PgStationDb::NoStationRole(const std::string& login,
                                            const std::string& what) const {
    return {kExitUnreachable, "the login " + Quoted(login) + " may not " + what +
                                  " in the station database (" + Name() +
                                  "); the owner of its tables grants it the station's role "
                                  "with 'vantix-cli station-db grant station " + login + "'"};
}

StationDbOutcome PgStationDb::Grant(const std::string& word, const std::string& login) {
    if (StationDbOutcome tables = CheckTables(); !tables.Ok()) {
        return tables;
    }
    StationRoles roles(db_);
    StationRoles::LoginState state;
    PgReply reply = roles.Inspect(word, login, state);
    if (reply.Done()) {
        if (StationDbOutcome refused = GrantRefusal(login, state); !refused.Ok()) {
            return refused;
        }
        reply = roles.Grant(word, login);
    }
    if (reply.kind == PgReply::Kind::ServerError && reply.sqlState == "42704") {
        state.exists = false;
        return GrantRefusal(login, state);
    }
    if (!reply.Done()) {
        return Failed("grant " + StationRoles::RoleOf(word) + " to " + Quoted(login), reply);
    }
    return {};
}

StationDbOutcome PgStationDb::GrantRefusal(const std::string& login,
                                           const StationRoles::LoginState& state) const {
    if (!state.exists) {
        return {kExitInputError, "the station database's server (" + Name() + ") has no login " +
                                     Quoted(login) + "; create it first (createuser " +
                                     ShellWord(login) + ")"};
    }
    if (!state.canLogin) {
        return {kExitInputError, "the role " + Quoted(login) + " of the station database's "
                                 "server (" + Name() + ") cannot log in; a role of the line is "
                                 "granted to a login"};
    }
    if (!state.otherRole.empty()) {
        return {kExitInputError, "the login " + Quoted(login) + " holds the role " +
                                     state.otherRole + " already; a login has one role"};
    }
    return {};
}

StationDbOutcome PgStationDb::CreateSeries(const std::string& name, std::uint64_t first, int words,
                                           bool& created, SeriesInfo& series) {
    if (StationDbOutcome tables = CheckTables(); !tables.Ok()) {
        return tables;
    }
    const PgReply reply = series_.Create(name, first, words, created, series);
    if (!reply.Done()) {
        return Failed("create the serial series " + Quoted(name), reply);
    }
    return {};
}

StationDbOutcome PgStationDb::ListSeries(std::vector<SeriesInfo>& all) {
    if (StationDbOutcome tables = CheckTables(); !tables.Ok()) {
        return tables;
    }
    const PgReply reply = series_.List(all);
    return reply.Done() ? StationDbOutcome{} : Failed("list the serial series", reply);
}

StationDbOutcome PgStationDb::NoSuchSeries(const std::string& name) const {
    return {kExitInputError, "the serial series " + Quoted(name) +
                                 " does not exist in the station database (" + Name() + "); " +
                                 CreateSeriesHint(name)};
}

StationDbOutcome PgStationDb::FindSeries(const std::string& name, SeriesInfo& series) {
    std::optional<SeriesInfo> found;
    const PgReply reply = series_.Find(name, found);
    if (!reply.Done()) {
        return Failed("read the serial series " + Quoted(name), reply);
    }
    if (!found) {
        return NoSuchSeries(name);
    }
    series = *found;
    return {};
}

StationDbOutcome PgStationDb::CheckWriting(const std::optional<std::string>& series) {
    // The run's entries go to local disk before anything goes over the network.
    if (std::string error; !spool_->Ready(error)) {
        return {kExitInputError, error};
    }
    // A station stores records and takes numbers through the tables' functions alone.
    const PgReply reply = db_.Exec(
        "SELECT current_setting('transaction_read_only') = 'on', "
        "has_function_privilege('vantix.store_record(jsonb)', 'EXECUTE'), "
        "$1::text IS NULL OR (has_function_privilege('vantix.take_number(text, jsonb)', "
        "'EXECUTE') AND has_function_privilege('vantix.run_number(uuid)', 'EXECUTE')), "
        "current_user",
        {series});
    if (!reply.Done() || reply.rows.empty() || reply.rows.front().size() != 4) {
        return Failed("read what the login may do", reply);
    }
    const auto& row = reply.rows.front();
    const std::string login = "the login " + Quoted(row[3].value_or("")) + " ";
    const std::string where = " in the station database (" + Name() + ")";
    if (row[0] == "t") {
        return {kExitUnreachable, login + "may only read" + where +
                                      " (transaction_read_only is on): it can neither store "
                                      "records nor take numbers"};
    }
    if (row[1] != "t") {
        return NoStationRole(row[3].value_or(""), "store records");
    }
    if (row[2] != "t") {
        return NoStationRole(row[3].value_or(""),
                             "take numbers of the serial series " + Quoted(*series));
    }
    return {};
}

PgReply PgStationDb::TakeOrLookUp(const std::string& series, const std::string& run,
                                  const std::string& claim, std::optional<std::uint64_t>& number) {
    PgReply reply = series_.Take(series, claim, number);
    if (reply.Done() && !number) {
        // The run may hold a number already, from a try whose answer was lost.
        reply = series_.Lookup(run, number);
    }
    return reply;
}

StationDbOutcome PgStationDb::TakeNumber(const std::string& series, const std::string& run,
                                         const std::string& station, const std::string& board,
                                         std::uint64_t& number) {
    JsonObject claim;
    claim.Text("run", run).Text("station", station);
    board.empty() ? claim.Null("board") : claim.Text("board", board);
    const std::string claimJson = RecordStore::ForJsonb(claim.Close());
    std::optional<std::uint64_t> taken;
    PgReply reply = Locked(run, [&] { return TakeOrLookUp(series, run, claimJson, taken); });
    if (std::string reason; OutOfReach(reply) && Reconnect(reason)) {
        // Whether the lost try committed is unknown: its run says, before any new try.
        reply = Locked(run, [&] {
            PgReply looked = series_.Lookup(run, taken);
            return looked.Done() && !taken ? TakeOrLookUp(series, run, claimJson, taken) : looked;
        });
    }
    if (reply.kind == PgReply::Kind::ServerError && reply.sqlState == "2200H") {
        return {kExitInputError, "the serial series " + Quoted(series) + " is used up"};
    }
    if (!reply.Done()) {
        return Failed("take a number of the serial series " + Quoted(series), reply);
    }
    if (!taken) {
        return NoSuchSeries(series);
    }
    number = *taken;
    return {};
}

PgReply PgStationDb::Locked(const std::string& run, const std::function<PgReply()>& work) {
    // Held until the number is taken, or until the session ends: a run that finds this run's
    // started entry, its station gone, waits for the answer rather than taking it for none.
    const std::string key = RunLockKey(run);
    PgReply reply = db_.Exec("SELECT pg_advisory_lock($1::bigint)", {key});
    if (!reply.Done()) {
        return reply;
    }
    reply = work();
    if (db_.Connected()) {
        db_.Exec("SELECT pg_advisory_unlock($1::bigint)", {key});
    }
    return reply;
}

PgReply PgStationDb::Store(const std::string& line, bool& added) {
    PgReply reply = records_.Store(line, added);
    if (std::string reason; OutOfReach(reply) && Reconnect(reason)) {
        reply = records_.Store(line, added);
    }
    return reply;
}

StationDbOutcome PgStationDb::SendSpool(int& sent) {
    int kept = 0;
    PgReply failure;
    failure.kind = PgReply::Kind::Done;
    std::string error;
    int waiting = 0;
    const bool drained = spool_->Drain(
        [&](const std::string& line) { return Send(line, failure, waiting); }, sent, kept, error);
    if (!drained && notice_.Interrupted()) {
        return {notice_.InterruptedStatus(), error};
    }
    if (OutOfReach(failure) || failure.kind == PgReply::Kind::Interrupted) {
        return Failed("send the spooled records", failure);
    }
    kept -= waiting;  // not refused: sent by a later run
    StationDbOutcome outcome;
    if (kept > 0) {
        // Refused records stay; the line goes on, and each run says so again.
        outcome.message = std::to_string(kept) + " spooled record" +
                          (kept == 1 ? " refused by the station database stays in "
                                     : "s refused by the station database stay in ") +
                          spool_->Path() + ": " + failure.error;
    }
    if (!drained) {
        outcome.message += (outcome.message.empty() ? "" : "\n") + error;
    }
    return outcome;
}

RecordSpool::Sent PgStationDb::Send(const std::string& spooled, PgReply& failure, int& waiting) {
    std::string line = spooled;
    PgReply reply;
    reply.kind = PgReply::Kind::Done;
    // Within a JSON text, this can only be the record's own status: quotes in values are escaped.
    if (line.find("\"status\":\"" + std::string(kStartedStatus) + "\"") != std::string::npos) {
        bool taking = false;
        bool none = false;
        reply = AsUnknown(line, taking, none);
        if (reply.Done() && none) {
            return RecordSpool::Sent::Gone;
        }
        if (reply.Done() && taking) {
            ++waiting;
            return RecordSpool::Sent::Kept;
        }
    }
    bool added = false;
    if (reply.Done()) {
        reply = Store(line, added);
    }
    if (!reply.Done() && failure.Done()) {
        failure = reply;
    }
    const bool stop = OutOfReach(reply) || reply.kind == PgReply::Kind::Interrupted;
    return reply.Done() ? RecordSpool::Sent::Stored
           : stop       ? RecordSpool::Sent::Stop
                        : RecordSpool::Sent::Kept;
}

PgReply PgStationDb::AsUnknown(std::string& line, bool& taking, bool& none) {
    PgReply reply;
    reply.kind = PgReply::Kind::Done;
    nlohmann::ordered_json entry = nlohmann::ordered_json::parse(line, nullptr, false);
    if (!entry.is_object() || !entry.contains("run") || !entry["run"].is_string()) {
        return reply;  // no record: the database refuses it, and it stays
    }
    const std::string run = entry["run"].get<std::string>();
    if (entry.contains("serial_at") && entry["serial"].is_null()) {
        // Written before its number was taken from a series: the run's number, if it got one.
        const std::string key = RunLockKey(run);
        reply = db_.Exec("SELECT pg_try_advisory_lock($1::bigint)", {key});
        taking = reply.Done() && reply.Value() != "t";
        if (!reply.Done() || taking) {
            return reply;
        }
        std::optional<std::uint64_t> number;
        reply = series_.Lookup(run, number);
        db_.Exec("SELECT pg_advisory_unlock($1::bigint)", {key});
        none = reply.Done() && !number;
        if (!reply.Done() || none) {
            return reply;
        }
        entry["serial"] = *number;
    }
    entry["status"] = kUnknownStatus;
    entry["exit"] = kExitUnknown;
    line = entry.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    return reply;
}

StationDbOutcome PgStationDb::Note(const std::string& logLine, const std::string& station,
                                   const std::string& run) {
    const std::string line = RecordStore::LineFor(logLine, station, run);
    std::string error;
    if (!journal_->Append(line, error)) {
        noted_.clear();
        return {kExitRecordLost, error};
    }
    noted_ = line;
    return {};
}

StationDbOutcome PgStationDb::StoreRecord(const std::string& logLine, const std::string& station,
                                          const std::string& run) {
    bool added = false;
    const PgReply reply = Store(RecordStore::LineFor(logLine, station, run), added);
    if (reply.Done()) {
        journal_->Clear();
        noted_.clear();
        return {};
    }
    return {kExitRecordLost,
            "cannot store the record in the station database (" + Name() + "): " + reply.error};
}

StationDbOutcome PgStationDb::SpoolRecord(const std::string& logLine, const std::string& station,
                                          const std::string& run) {
    const std::string line = RecordStore::LineFor(logLine, station, run);
    if (line == noted_) {
        return {kExitSuccess, KeptText(journal_->Path())};  // there already, synced
    }
    std::string error;
    if (!spool_->Append(line, error)) {
        return {kExitRecordLost, error};
    }
    // The spool's copy supersedes whatever the journal holds of the run.
    journal_->Clear();
    noted_.clear();
    return {kExitSuccess, KeptText(spool_->Path())};
}

StationDbOutcome PgStationDb::ReleasesReady(const std::optional<std::string>& series,
                                            const char* privilege, const char* doing) {
    if (StationDbOutcome tables = CheckTables(); !tables.Ok()) {
        return tables;
    }
    bool exists = true;
    PgReply reply;
    reply.kind = PgReply::Kind::Done;
    if (series) {
        reply = series_.Exists(*series, exists);
    }
    if (!reply.Done()) {
        return Failed("read the serial series " + Quoted(*series), reply);
    }
    if (!exists) {
        return NoSuchSeries(*series);
    }
    reply = releases_.Exists(exists);
    if (!reply.Done()) {
        return Failed("read the released images", reply);
    }
    if (!exists) {
        return {kExitInputError, "the station database (" + Name() +
                                     ") has no table of released images; create it with "
                                     "'vantix-cli station-db init'"};
    }
    if (privilege == nullptr) {
        return {};
    }
    bool may = false;
    std::string login;
    reply = releases_.MayWrite(privilege, may, login);
    if (!reply.Done()) {
        return Failed("read what the login may do", reply);
    }
    if (!may) {
        return {kExitUnreachable, "the login " + Quoted(login) + " may not " + doing +
                                      " in the station database (" + Name() + ") (" +
                                      privilege + " on vantix.releases)"};
    }
    return {};
}

StationDbOutcome PgStationDb::Release(const ReleaseInfo& image, bool& added, ReleaseInfo& found) {
    if (StationDbOutcome ready = ReleasesReady(image.series, "INSERT", "release images");
        !ready.Ok()) {
        return ready;
    }
    const PgReply reply = releases_.Add(image, added, found);
    if (reply.kind == PgReply::Kind::ServerError && reply.sqlState == "23503") {
        return NoSuchSeries(image.series);  // removed meanwhile
    }
    return reply.Done() ? StationDbOutcome{} : Failed("release the image", reply);
}

StationDbOutcome PgStationDb::Withdraw(const std::string& series, const std::string& sha256,
                                       const std::optional<std::string>& cpu,
                                       std::vector<ReleaseInfo>& withdrawn) {
    if (StationDbOutcome ready = ReleasesReady(series, "UPDATE", "withdraw images");
        !ready.Ok()) {
        return ready;
    }
    const PgReply reply = releases_.Withdraw(series, sha256, cpu, withdrawn);
    return reply.Done() ? StationDbOutcome{} : Failed("withdraw the image", reply);
}

StationDbOutcome PgStationDb::ListReleases(const std::optional<std::string>& series,
                                           bool openOnly, std::vector<ReleaseInfo>& all) {
    if (StationDbOutcome ready = ReleasesReady(series); !ready.Ok()) {
        return ready;
    }
    const PgReply reply = releases_.List(series, openOnly, std::nullopt, all);
    return reply.Done() ? StationDbOutcome{} : Failed("read the released images", reply);
}
