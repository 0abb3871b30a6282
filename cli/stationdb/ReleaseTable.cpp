#include "stationdb/ReleaseTable.h"

namespace {

// The table, its indexes and its grants. Each part only where it is missing, so that a
// station login that may not create anything still runs init on a set-up database; grants
// only by the table's owner, and only to the line's roles that exist.
const char* const kCreate = R"sql(
DO $release$
BEGIN
  IF to_regclass('vantix.releases') IS NULL THEN
    CREATE TABLE IF NOT EXISTS vantix.releases (
      series text NOT NULL REFERENCES vantix.series (name),
      sha256 text NOT NULL CHECK (sha256 ~ '^[0-9a-f]{64}$'),
      cpu text NOT NULL CHECK (cpu <> ''),
      file_name text NOT NULL,
      released_by text NOT NULL DEFAULT current_user,
      released_at timestamptz NOT NULL DEFAULT now(),
      withdrawn_by text,
      withdrawn_at timestamptz,
      CHECK ((withdrawn_at IS NULL) = (withdrawn_by IS NULL)));
    -- One open release of an image per series and CPU: a second host's release finds it.
    CREATE UNIQUE INDEX IF NOT EXISTS releases_open ON vantix.releases (series, sha256, cpu)
      WHERE withdrawn_at IS NULL;
    CREATE INDEX IF NOT EXISTS releases_sha256 ON vantix.releases (sha256);
  END IF;
  IF pg_has_role((SELECT relowner FROM pg_class WHERE oid = 'vantix.releases'::regclass),
                 'USAGE') THEN
    IF EXISTS (SELECT FROM pg_roles WHERE rolname = 'vantix_admin') THEN
      GRANT SELECT, INSERT, UPDATE ON vantix.releases TO vantix_admin;
    END IF;
    IF EXISTS (SELECT FROM pg_roles WHERE rolname = 'vantix_station') THEN
      GRANT SELECT ON vantix.releases TO vantix_station;
    END IF;
    IF EXISTS (SELECT FROM pg_roles WHERE rolname = 'vantix_reader') THEN
      GRANT SELECT ON vantix.releases TO vantix_reader;
    END IF;
  END IF;
END
$release$)sql";

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
    return db_.Exec(kCreate);
}

PgReply ReleaseTable::Exists(bool& exists) {
    PgReply reply = db_.Exec("SELECT to_regclass('vantix.releases') IS NOT NULL");
    exists = reply.Done() && reply.Value() == "t";
    return reply;
}

PgReply ReleaseTable::MayWrite(const char* privilege, bool& may, std::string& login) {
    PgReply reply = db_.Exec(
        "SELECT NOT current_setting('transaction_read_only')::boolean AND "
        "has_table_privilege('vantix.releases', $1) AND "
        "has_table_privilege('vantix.releases', 'SELECT'), current_user",
        {std::string(privilege)});
    may = reply.Done() && reply.Value() == "t";
    login = reply.Done() && !reply.rows.empty() && reply.rows[0].size() == 2
                ? reply.rows[0][1].value_or("")
                : std::string();
    return reply;
}

PgReply ReleaseTable::Add(const ReleaseInfo& image, bool& added, ReleaseInfo& found) {
    PgReply reply = db_.Exec(
        "INSERT INTO vantix.releases (series, sha256, cpu, file_name) VALUES ($1, $2, $3, $4) "
        "ON CONFLICT (series, sha256, cpu) WHERE withdrawn_at IS NULL DO NOTHING "
        "RETURNING series",
        {image.series, image.sha256, image.cpu, image.fileName});
    added = reply.Done() && !reply.rows.empty();
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
                               std::vector<ReleaseInfo>& withdrawn) {
    const std::string sql = std::string(
                                "WITH closed AS (UPDATE vantix.releases SET withdrawn_at = now(), "
                                "withdrawn_by = current_user WHERE series = $1 AND sha256 = $2 "
                                "AND withdrawn_at IS NULL RETURNING *) ") +
                            kColumns + "FROM closed ORDER BY cpu";
    const PgReply reply = db_.Exec(sql.c_str(), {series, sha256});
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
