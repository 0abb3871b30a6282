#pragma once

#include <string>
#include <string_view>

#include "stationdb/PgConnection.h"

// The roles a line's logins are given, each with the least its work needs:
//   vantix_station  takes numbers, stores records, looks up its own run's number by the run's
//                   UUID and lists the series, all through the tables' functions; reads no
//                   record and changes nothing
//   vantix_reader   reads runs, serials and series, for the report
//   vantix_admin    creates series (and lists them)
// The tables' owner makes them with `station-db init`; roles belong to the whole server, so
// the lines of one server share them.
class StationRoles {
public:
    explicit StationRoles(PgConnection& db) : db_(db) {}

    // Makes the roles that do not exist yet (another line's init may be making them at the
    // same moment) and gives each its rights on the tables and functions, and nobody else
    // any. Within the set-up's transaction.
    PgReply SetUp();
    // What the server knows of `login`: whether it exists and may log in, and which of the
    // line's roles other than vantix_WORD it holds already (empty: none).
    struct LoginState {
        bool exists = false;
        bool canLogin = false;
        std::string otherRole;
    };
    PgReply Inspect(std::string_view word, const std::string& login, LoginState& state);
    // Grants `login` the role of `word` (station, reader or admin).
    PgReply Grant(std::string_view word, const std::string& login);

    // The role of a word `station-db grant` takes: vantix_WORD.
    static std::string RoleOf(std::string_view word) { return "vantix_" + std::string(word); }

private:
    PgConnection& db_;
};
