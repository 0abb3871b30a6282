#pragma once

#include "stationdb/PgConnection.h"

// The tables a line keeps in its station database, in the schema "vantix":
//   schema_version  the version of these tables, one row
//   series          each serial series: its name, its sequence, first number and width
//   serials         every number handed out, with the run (UUID) that took it
//   runs            every board's record, as its JSON line, with the columns to search by
//   releases        the images released for each series (ReleaseTable)
// Creating them takes an advisory lock, so hosts that start at the same time create them
// once; a database whose tables are newer than this program knows is left alone.
class StationSchema {
public:
    static constexpr int kVersion = 1;
    // The advisory lock that serialises setting up tables and series among a line's hosts.
    static constexpr const char* kSetUpLock = "8530482758935201859";

    explicit StationSchema(PgConnection& db) : db_(db) {}

    // Creates the tables unless they exist; `created` says whether this call made them, and
    // `version` is the version the database then holds.
    PgReply Create(bool& created, int& version);
    // The version of the tables the database holds; 0 when it has none.
    PgReply Version(int& version);

private:
    PgReply CreateTables();

    PgConnection& db_;
};
