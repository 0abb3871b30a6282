#include "stationdb/StationRoles.h"

namespace {

// A role made by another line's init in the meantime is as good as one made here.
const char* const kRoles[] = {
    "DO $$ BEGIN CREATE ROLE vantix_station NOLOGIN; "
    "EXCEPTION WHEN duplicate_object OR unique_violation THEN NULL; END $$",
    "DO $$ BEGIN CREATE ROLE vantix_reader NOLOGIN; "
    "EXCEPTION WHEN duplicate_object OR unique_violation THEN NULL; END $$",
    "DO $$ BEGIN CREATE ROLE vantix_admin NOLOGIN; "
    "EXCEPTION WHEN duplicate_object OR unique_violation THEN NULL; END $$",
};

// Every right on the line's tables, in one place: first nobody has any (functions are
// everyone's to run unless taken back), then each role gets what its work needs.
const char* const kGrants[] = {
    "REVOKE ALL ON SCHEMA vantix FROM PUBLIC",
    "REVOKE ALL ON ALL TABLES IN SCHEMA vantix FROM PUBLIC, vantix_station, vantix_reader, "
    "vantix_admin",
    "REVOKE ALL ON ALL SEQUENCES IN SCHEMA vantix FROM PUBLIC, vantix_station, vantix_reader, "
    "vantix_admin",
    "REVOKE ALL ON ALL FUNCTIONS IN SCHEMA vantix FROM PUBLIC, vantix_station, vantix_reader, "
    "vantix_admin",
    "GRANT USAGE ON SCHEMA vantix TO vantix_station, vantix_reader, vantix_admin",
    "GRANT SELECT ON vantix.schema_version TO vantix_station, vantix_reader, vantix_admin",
    "GRANT EXECUTE ON FUNCTION vantix.series_numbers() TO vantix_station, vantix_reader, "
    "vantix_admin",
    // The station: numbers, records and its own run's number, and not one row to read.
    "GRANT EXECUTE ON FUNCTION vantix.take_number(text, jsonb), vantix.run_number(uuid), "
    "vantix.store_record(jsonb) TO vantix_station",
    // The reader: the report's tables.
    "GRANT SELECT ON vantix.runs, vantix.serials, vantix.series TO vantix_reader",
    // The administrator: new series, whose sequences stay the owner's.
    "GRANT EXECUTE ON FUNCTION vantix.create_series(text, bigint, smallint) TO vantix_admin",
};

}  // namespace

PgReply StationRoles::SetUp() {
    PgReply reply = db_.ExecAll(kRoles);
    return reply.Done() ? db_.ExecAll(kGrants) : reply;
}

PgReply StationRoles::Inspect(std::string_view word, const std::string& login,
                              LoginState& state) {
    PgReply reply = db_.Exec(
        "SELECT r.rolcanlogin, (SELECT min(m.rolname) FROM pg_auth_members a JOIN pg_roles m "
        "ON m.oid = a.roleid WHERE a.member = r.oid AND m.rolname <> $2 AND m.rolname IN "
        "('vantix_station', 'vantix_reader', 'vantix_admin')) FROM pg_roles r "
        "WHERE r.rolname = $1",
        {login, RoleOf(word)});
    state = {};
    if (reply.Done() && !reply.rows.empty()) {
        const auto& row = reply.rows.front();
        state.exists = true;
        state.canLogin = row.at(0) == "t";
        state.otherRole = row.at(1).value_or("");
    }
    return reply;
}

PgReply StationRoles::Grant(std::string_view word, const std::string& login) {
    // The login is quoted by the server, as an identifier: whatever it holds names a role.
    PgReply reply = db_.Exec("SELECT format('GRANT %I TO %I', $1::text, $2::text)",
                             {RoleOf(word), login});
    if (!reply.Done() || !reply.Value()) {
        return reply;
    }
    return db_.Exec(reply.Value()->c_str());
}
