#include "stationdb/SerialSeries.h"

#include "stationdb/StationSchema.h"

namespace {

// What a series of that many words can hold: 16 or 32 bits.
std::uint64_t LargestOf(int words) {
    return words == 1 ? 0xFFFFu : 0xFFFFFFFFu;
}

const char* const kSeriesColumns =
    "SELECT name, first_number, serial_words, pg_sequence_last_value(numbers) "
    "FROM vantix.series ";

}  // namespace

PgReply SerialSeries::Select(const char* sql, const std::vector<std::optional<std::string>>& values,
                             std::vector<SeriesInfo>& all) {
    all.clear();
    PgReply reply = db_.Exec(sql, values);
    for (const auto& row : reply.rows) {
        SeriesInfo series;
        series.name = row[0].value_or("");
        series.first = std::stoull(row[1].value_or("0"));
        series.words = std::stoi(row[2].value_or("1"));
        // A sequence that has handed out nothing has no last value yet.
        const std::uint64_t next = row[3] ? std::stoull(*row[3]) + 1 : series.first;
        if (next <= LargestOf(series.words)) {
            series.next = next;
        }
        all.push_back(series);
    }
    return reply;
}

PgReply SerialSeries::Find(const std::string& name, std::optional<SeriesInfo>& found) {
    std::vector<SeriesInfo> all;
    const std::string sql = std::string(kSeriesColumns) + "WHERE name = $1";
    PgReply reply = Select(sql.c_str(), {name}, all);
    found.reset();
    if (!all.empty()) {
        found = all.front();
    }
    return reply;
}

PgReply SerialSeries::Exists(const std::string& name, bool& exists) {
    PgReply reply = db_.Exec("SELECT EXISTS (SELECT FROM vantix.series WHERE name = $1)", {name});
    exists = reply.Done() && reply.Value() == "t";
    return reply;
}

PgReply SerialSeries::List(std::vector<SeriesInfo>& all) {
    const std::string sql = std::string(kSeriesColumns) + "ORDER BY name";
    return Select(sql.c_str(), {}, all);
}

PgReply SerialSeries::Create(const std::string& name, std::uint64_t first, int words,
                             bool& created, SeriesInfo& found) {
    created = false;
    PgReply reply = db_.Exec("BEGIN");
    if (reply.Done()) {
        reply = db_.Exec("SELECT pg_advisory_xact_lock($1::bigint)", {StationSchema::kSetUpLock});
    }
    std::optional<SeriesInfo> existing;
    if (reply.Done()) {
        reply = Find(name, existing);
    }
    if (reply.Done() && !existing) {
        reply = CreateSequence(name, first, words);
    }
    if (!reply.Done() || existing) {
        found = existing.value_or(SeriesInfo{});
        db_.Exec("ROLLBACK");
        return reply;
    }
    reply = db_.Exec("COMMIT");
    created = reply.Done();
    return reply;
}

PgReply SerialSeries::CreateSequence(const std::string& name, std::uint64_t first, int words) {
    PgReply reply = db_.Exec("SELECT nextval('vantix.series_ids')");
    if (!reply.Done()) {
        return reply;
    }
    const std::string sequence = "vantix.series_" + reply.Value().value_or("0");
    const std::string create = "CREATE SEQUENCE " + sequence + " AS bigint MINVALUE 0 MAXVALUE " +
                               std::to_string(LargestOf(words)) + " NO CYCLE";
    reply = db_.Exec(create.c_str());
    if (reply.Done()) {
        reply = db_.Exec("SELECT setval($1::regclass, $2::bigint, false)",
                         {sequence, std::to_string(first)});
    }
    if (reply.Done()) {
        reply = db_.Exec(
            "INSERT INTO vantix.series (name, numbers, first_number, serial_words) "
            "VALUES ($1, $2::regclass, $3::bigint, $4::smallint)",
            {name, sequence, std::to_string(first), std::to_string(words)});
    }
    return reply;
}

PgReply SerialSeries::Take(const std::string& name, const std::string& claim,
                           std::optional<std::uint64_t>& number) {
    PgReply reply = db_.Exec(
        "INSERT INTO vantix.serials (series, number, run, station, board) "
        "SELECT s.name, nextval(s.numbers), (c->>'run')::uuid, c->>'station', c->>'board' "
        "FROM vantix.series AS s, (SELECT $2::jsonb AS c) AS claim WHERE s.name = $1 "
        "ON CONFLICT (run) DO NOTHING RETURNING number",
        {name, claim});
    number.reset();
    if (reply.Value()) {
        number = std::stoull(*reply.Value());
    }
    return reply;
}

PgReply SerialSeries::Lookup(const std::string& run, std::optional<std::uint64_t>& number) {
    PgReply reply = db_.Exec("SELECT number FROM vantix.serials WHERE run = $1::uuid", {run});
    number.reset();
    if (reply.Value()) {
        number = std::stoull(*reply.Value());
    }
    return reply;
}
