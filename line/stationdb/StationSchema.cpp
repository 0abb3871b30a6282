#include "stationdb/StationSchema.h"

#include "stationdb/ReleaseTable.h"

#include <string>

#include "stationdb/StationRoles.h"
#include "stationdb/StationRoutines.h"

namespace {

// Version 1: the tables. A new database goes through every step as an old one does, so the
// two cannot differ.
const char* const kTables[] = {
    "CREATE SCHEMA IF NOT EXISTS vantix",
    "CREATE TABLE vantix.schema_version (version integer NOT NULL, "
    "created timestamptz NOT NULL DEFAULT now())",
    // Each series' numbers come from a sequence of its own, whose name is made from this
    // counter: nothing a user types names a database object.
    "CREATE SEQUENCE vantix.series_ids",
    "CREATE TABLE vantix.series (name text PRIMARY KEY CHECK (name <> ''), "
    "numbers regclass NOT NULL UNIQUE, first_number bigint NOT NULL CHECK (first_number >= 0), "
    "serial_words smallint NOT NULL CHECK (serial_words IN (1, 2)), "
    "created timestamptz NOT NULL DEFAULT now())",
    "CREATE TABLE vantix.serials (series text NOT NULL REFERENCES vantix.series (name), "
    "number bigint NOT NULL, run uuid NOT NULL UNIQUE, station text NOT NULL, board text, "
    "taken timestamptz NOT NULL DEFAULT now(), PRIMARY KEY (series, number))",
    "CREATE TABLE vantix.runs (run uuid PRIMARY KEY, station text NOT NULL, host text NOT NULL, "
    "time timestamptz NOT NULL, command text NOT NULL, board text, serial bigint, "
    "exit_status integer NOT NULL, stored timestamptz NOT NULL DEFAULT now(), "
    "record jsonb NOT NULL)",
    "CREATE INDEX runs_board ON vantix.runs (board)",
    "CREATE INDEX runs_station_time ON vantix.runs (station, time)",
    "CREATE INDEX runs_serial ON vantix.runs (serial)",
};

// Version 2: who stored each record and took each number, as the server knows the login;
// rows from before it say nobody (NULL).
const char* const kLogins[] = {
    "ALTER TABLE vantix.serials ADD COLUMN taken_by text",
    "ALTER TABLE vantix.runs ADD COLUMN stored_by text",
};

}  // namespace

PgReply StationSchema::Version(int& version) {
    version = 0;
    PgReply reply = db_.Exec("SELECT to_regclass('vantix.schema_version') IS NOT NULL");
    if (!reply.Done() || reply.Value() != "t") {
        return reply;
    }
    reply = db_.Exec("SELECT max(version) FROM vantix.schema_version");
    if (reply.Done() && reply.Value()) {
        version = std::stoi(*reply.Value());
    }
    return reply;
}

PgReply StationSchema::Create(int& found, int& version) {
    found = 0;
    PgReply reply = db_.Exec("BEGIN");
    if (reply.Done()) {
        reply = db_.Exec("SELECT pg_advisory_xact_lock($1::bigint)", {kSetUpLock});
    }
    if (reply.Done()) {
        reply = Version(found);
    }
    version = found;
    if (reply.Done() && found < kVersion) {
        reply = Upgrade(found);
    }
    if (!reply.Done()) {
        version = found;
        db_.Exec("ROLLBACK");
        return reply;
    }
    reply = db_.Exec("COMMIT");
    version = reply.Done() ? std::max(found, kVersion) : found;
    return reply;
}

PgReply StationSchema::Upgrade(int version) {
    PgReply reply;
    reply.kind = PgReply::Kind::Done;
    if (version < 1) {
        reply = db_.ExecAll(kTables);
    }
    if (reply.Done() && version < 2) {
        reply = db_.ExecAll(kLogins);
    }
    if (reply.Done() && version < 2) {
        reply = db_.ExecAll(StationRoutines());
        if (reply.Done()) {
            reply = StationRoles(db_).SetUp();
        }
    }
    if (reply.Done() && version < 3) {
        reply = ReleaseTable(db_).Create();
    }
    if (reply.Done()) {
        reply = db_.Exec("INSERT INTO vantix.schema_version (version) VALUES ($1::integer)",
                         {std::to_string(kVersion)});
    }
    return reply;
}
