#pragma once

#include "stationdb/PgConnection.h"

// The tables a line keeps in its station database, in the schema "vantix":
//   schema_version  the versions these tables went through, a row each
//   series          each serial series: its name, its sequence, first number and width
//   serials         every number handed out, with the run (UUID) that took it
//   runs            every board's record, as its JSON line, with the columns to search by
//   releases        the images released for each series (ReleaseTable)
// From version 2 on, the stations, readers and administrators of a line log in with roles of
// their own, which reach the tables only as far as their work needs (StationRoles), and no
// row of the history is ever changed or removed but by the owner. From version 3 on, the
// releases are such history too: the admin adds and closes them only through routines.
// Setting them up takes an advisory lock, so hosts that start at the same time create them
// once; a database whose tables are newer than this program knows is left alone.
class StationSchema {
public:
    static constexpr int kVersion = 3;
    // The oldest version a reader of the runs understands: the tables are the same.
    static constexpr int kReadableVersion = 1;
    // The advisory lock that serialises setting up tables and series among a line's hosts.
    static constexpr const char* kSetUpLock = "8530482758935201859";

    explicit StationSchema(PgConnection& db) : db_(db) {}

    // Creates the tables unless they exist, and moves older ones to this version, all in one
    // transaction; `found` is the version the database held before (0: none), `version` the
    // one it holds now.
    PgReply Create(int& found, int& version);
    // The version of the tables the database holds; 0 when it has none.
    PgReply Version(int& version);

private:
    // Moves the tables from `version` to kVersion, step by step.
    PgReply Upgrade(int version);

    PgConnection& db_;
};
