#include "report/StationDbRunReader.h"

#if VANTIX_STATION_DB
#include "records/IsoTime.h"
#include "report/RecordLineParser.h"
#include "stationdb/PgConnection.h"
#include "stationdb/StationSchema.h"

namespace {

// Rows a fetch brings.
constexpr const char* kFetch = "FETCH 2000 FROM report_runs";

const char* const kDeclare =
    "DECLARE report_runs NO SCROLL CURSOR FOR "
    "SELECT r.record::text, s.series FROM vantix.runs AS r "
    "LEFT JOIN vantix.serials AS s ON s.run = r.run "
    "WHERE ($1::timestamptz IS NULL OR r.time >= $1::timestamptz) "
    "AND ($2::timestamptz IS NULL OR r.time < $2::timestamptz) "
    "AND ($3::text IS NULL OR r.record->>'sha256' = $3::text)";

std::optional<std::string> TimeValue(const std::optional<std::int64_t>& time) {
    return time ? std::optional(UtcTextMicros(*time)) : std::nullopt;
}

StationDbOutcome Failed(const PgConnection& db, const PgReply& reply) {
    if (reply.kind == PgReply::Kind::Interrupted) {
        return {kExitInterrupted, reply.error};
    }
    return {kExitUnreachable,
            "cannot read the runs in the station database (" + db.Name() + "): " + reply.error};
}

StationDbOutcome CheckTables(PgConnection& db) {
    int version = 0;
    const PgReply reply = StationSchema(db).Version(version);
    if (!reply.Done()) {
        return Failed(db, reply);
    }
    if (version == 0) {
        return {kExitInputError, "the station database (" + db.Name() +
                                     ") has no vantix tables; create them with 'vantix-cli "
                                     "station-db init'"};
    }
    if (version > StationSchema::kVersion) {
        return {kExitInputError, "the station database (" + db.Name() + ") has tables of version " +
                                     std::to_string(version) +
                                     ", newer than this vantix-cli knows; use a newer vantix-cli"};
    }
    return {};
}

}  // namespace

PgReply StationDbRunReader::ReadReleases(PgConnection& db) {
    ReleaseTable table(db);
    bool exists = false;
    PgReply reply = table.Exists(exists);
    std::vector<ReleaseInfo> all;
    if (reply.Done() && exists) {
        reply = table.List(std::nullopt, false, std::nullopt, all);
    }
    if (reply.Done() && releases_) {
        releases_(std::move(all));
    }
    return reply;
}

StationDbOutcome StationDbRunReader::Read(const std::string& url, const ReportFilter& filter) {
    PgConnection db(url, notice_);
    std::string error;
    if (!db.Parse(error)) {
        return {kExitInputError, error};
    }
    if (!db.Connect(error)) {
        if (db.Interrupted()) {
            return {notice_.InterruptedStatus(), error};
        }
        return {kExitUnreachable,
                "cannot connect to the station database (" + db.Name() + "): " + error};
    }
    name_ = db.Name();
    if (StationDbOutcome tables = CheckTables(db); !tables.Ok()) {
        return tables;
    }
    PgReply reply = db.Exec("BEGIN READ ONLY");
    if (reply.Done()) {
        reply = ReadReleases(db);
    }
    if (reply.Done()) {
        reply =
            db.Exec(kDeclare, {TimeValue(filter.since), TimeValue(filter.until), filter.sha256});
    }
    RecordLineParser parser;
    ReportRecord record;
    std::uint64_t row = 0;
    while (reply.Done() && !notice_.Interrupted()) {
        reply = db.Exec(kFetch);
        if (!reply.Done() || reply.rows.empty()) {
            break;
        }
        for (auto& columns : reply.rows) {
            ++row;
            if (parser.Parse(columns[0].value_or(""), record) !=
                RecordLineParser::Outcome::Record) {
                ++counts_.notRecord;
                warn_("station database, run " + std::to_string(row) + ": not a record, skipped");
                continue;
            }
            counts_.unknownFields += parser.UnknownField().empty() ? 0 : 1;
            record.series = std::move(columns[1]);
            ++counts_.records;
            sink_(record);
        }
    }
    if (!reply.Done()) {
        StationDbOutcome failed = Failed(db, reply);
        if (reply.kind == PgReply::Kind::Interrupted) {
            failed.status = notice_.InterruptedStatus();
        }
        return failed;
    }
    db.Exec("COMMIT");
    return {};
}

#else

StationDbOutcome StationDbRunReader::Read(const std::string&, const ReportFilter&) {
    return {kExitInputError, "--station-db is not available in this build"};
}

#endif
