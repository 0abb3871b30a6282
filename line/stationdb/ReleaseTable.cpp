#include "stationdb/ReleaseTable.h"

namespace {

#define VANTIX_DEFINER "SECURITY DEFINER SET search_path = pg_catalog, pg_temp "

// The releases are history: the admin releases and withdraws only through these, which
// record the login and the server's time themselves, and no row changes otherwise.
const char* const kGuards[] = {
    // The table and its indexes, where missing: a database of the roles' version may hold
    // it already, with the rights it had then.
    "CREATE TABLE IF NOT EXISTS vantix.releases ("
    "series text NOT NULL REFERENCES vantix.series (name), "
    "sha256 text NOT NULL CHECK (sha256 ~ '^[0-9a-f]{64}$'), "
    "cpu text NOT NULL CHECK (cpu <> ''), file_name text NOT NULL, "
    "released_by text NOT NULL DEFAULT current_user, "
    "released_at timestamptz NOT NULL DEFAULT now(), withdrawn_by text, "
    "withdrawn_at timestamptz, CHECK ((withdrawn_at IS NULL) = (withdrawn_by IS NULL)))",
    // One open release of an image per series and CPU: a second host's release finds it.
    "CREATE UNIQUE INDEX IF NOT EXISTS releases_open ON vantix.releases (series, sha256, cpu) "
    "WHERE withdrawn_at IS NULL",
    "CREATE INDEX IF NOT EXISTS releases_sha256 ON vantix.releases (sha256)",
    "CREATE FUNCTION vantix.release_image(series_name text, image_sha256 text, "
    "image_cpu text, image_file text) RETURNS boolean LANGUAGE plpgsql " VANTIX_DEFINER
    "AS $$ BEGIN "
    "IF image_cpu IS NULL OR image_cpu NOT IN ('DSP56F801', 'DSP56F803', 'DSP56F805', "
    "'DSP56F807') THEN RAISE EXCEPTION 'no CPU is named %', image_cpu "
    "USING ERRCODE = 'check_violation'; END IF; "
    "INSERT INTO vantix.releases (series, sha256, cpu, file_name, released_by, released_at) "
    "VALUES (series_name, image_sha256, image_cpu, image_file, session_user, now()) "
    "ON CONFLICT (series, sha256, cpu) WHERE withdrawn_at IS NULL DO NOTHING; "
    "RETURN FOUND; END $$",
    // Every CPU's open release of the image when no CPU is named.
    "CREATE FUNCTION vantix.withdraw_image(series_name text, image_sha256 text, image_cpu text) "
    "RETURNS SETOF vantix.releases LANGUAGE sql " VANTIX_DEFINER "AS $$ "
    "UPDATE vantix.releases SET withdrawn_at = now(), withdrawn_by = session_user "
    "WHERE series = series_name AND sha256 = image_sha256 "
    "AND (image_cpu IS NULL OR cpu = image_cpu) AND withdrawn_at IS NULL RETURNING * $$",
    "CREATE TRIGGER keep_history BEFORE UPDATE OR DELETE ON vantix.releases "
    "FOR EACH ROW EXECUTE FUNCTION vantix.keep_history()",
    "CREATE TRIGGER keep_history_whole BEFORE TRUNCATE ON vantix.releases "
    "FOR EACH STATEMENT EXECUTE FUNCTION vantix.keep_history()",
    "REVOKE ALL ON vantix.releases FROM PUBLIC, vantix_station, vantix_reader, vantix_admin",
    "GRANT SELECT ON vantix.releases TO vantix_station, vantix_reader, vantix_admin",
    "REVOKE ALL ON FUNCTION vantix.release_image(text, text, text, text), "
    "vantix.withdraw_image(text, text, text) FROM PUBLIC",
    "GRANT EXECUTE ON FUNCTION vantix.release_image(text, text, text, text), "
    "vantix.withdraw_image(text, text, text) TO vantix_admin",
};

#undef VANTIX_DEFINER

const char* const kColumns =
    "SELECT series, sha256, cpu, file_name, released_by, "
    "to_char(released_at AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"'), "
    "(extract(epoch FROM released_at) * 1000000)::bigint, withdrawn_by, "
    "to_char(withdrawn_at AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"'), "
    "(extract(epoch FROM withdrawn_at) * 1000000)::bigint ";

std::vector<ReleaseInfo> ReleasesOf(const PgReply& reply) {
    std::vector<ReleaseInfo> all;
    for (const auto& row : reply.rows) {
        if (row.size() != 10) {
            continue;
        }
        ReleaseInfo image;
        image.series = row[0].value_or("");
        image.sha256 = row[1].value_or("");
        image.cpu = row[2].value_or("");
        image.fileName = row[3].value_or("");
        image.releasedBy = row[4].value_or("");
        image.releasedAt = row[5].value_or("");
        image.releasedMicros = std::stoll(row[6].value_or("0"));
        image.withdrawnBy = row[7];
        image.withdrawnAt = row[8];
        if (row[9]) {
            image.withdrawnMicros = std::stoll(*row[9]);
        }
        all.push_back(image);
    }
    return all;
}

}  // namespace

PgReply ReleaseTable::Create() {
    return db_.ExecAll(kGuards);
}

PgReply ReleaseTable::Exists(bool& exists) {
    PgReply reply = db_.Exec("SELECT to_regclass('vantix.releases') IS NOT NULL");
    exists = reply.Done() && reply.Value() == "t";
    return reply;
}

PgReply ReleaseTable::MayWrite(const char* privilege, bool& may, std::string& login) {
    const std::string routine = std::string_view(privilege) == "INSERT"
                                    ? "vantix.release_image(text, text, text, text)"
                                    : "vantix.withdraw_image(text, text, text)";
    PgReply reply = db_.Exec(
        "SELECT NOT current_setting('transaction_read_only')::boolean AND "
        "has_function_privilege($1, 'EXECUTE') AND "
        "has_table_privilege('vantix.releases', 'SELECT'), current_user",
        {routine});
    may = reply.Done() && reply.Value() == "t";
    login = reply.Done() && !reply.rows.empty() && reply.rows[0].size() == 2
                ? reply.rows[0][1].value_or("")
                : std::string();
    return reply;
}

PgReply ReleaseTable::Add(const ReleaseInfo& image, bool& added, ReleaseInfo& found) {
    PgReply reply = db_.Exec("SELECT vantix.release_image($1, $2, $3, $4)",
                             {image.series, image.sha256, image.cpu, image.fileName});
    added = reply.Done() && reply.Value() == "t";
    if (!reply.Done()) {
        return reply;
    }
    std::vector<ReleaseInfo> open;
    reply = List(image.series, true, image.sha256, open);
    for (const ReleaseInfo& release : open) {
        if (release.cpu == image.cpu) {
            found = release;
        }
    }
    return reply;
}

PgReply ReleaseTable::Withdraw(const std::string& series, const std::string& sha256,
                               const std::optional<std::string>& cpu,
                               std::vector<ReleaseInfo>& withdrawn) {
    const std::string sql = std::string(kColumns) +
                            "FROM vantix.withdraw_image($1, $2, $3) ORDER BY cpu";
    const PgReply reply = db_.Exec(sql.c_str(), {series, sha256, cpu});
    withdrawn = ReleasesOf(reply);
    return reply;
}

PgReply ReleaseTable::List(const std::optional<std::string>& series, bool openOnly,
                           const std::optional<std::string>& sha256,
                           std::vector<ReleaseInfo>& all) {
    const std::string sql = std::string(kColumns) +
                            "FROM vantix.releases WHERE ($1::text IS NULL OR series = $1) "
                            "AND ($2::text IS NULL OR sha256 = $2) AND "
                            "(NOT $3::boolean OR withdrawn_at IS NULL) "
                            "ORDER BY series, released_at, cpu";
    const PgReply reply = db_.Exec(sql.c_str(), {series, sha256, openOnly ? "t" : "f"});
    all = ReleasesOf(reply);
    return reply;
}
