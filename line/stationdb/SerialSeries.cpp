#include "stationdb/SerialSeries.h"

namespace {

// What a series of that many words can hold: 16 or 32 bits.
std::uint64_t LargestOf(int words) {
    return words == 1 ? 0xFFFFu : 0xFFFFFFFFu;
}

const char* const kSeriesColumns =
    "SELECT name, first_number, serial_words, last_number FROM vantix.series_numbers() ";

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
    PgReply reply = db_.Exec("SELECT EXISTS (SELECT FROM vantix.series_numbers() WHERE name = $1)", {name});
    exists = reply.Done() && reply.Value() == "t";
    return reply;
}

PgReply SerialSeries::List(std::vector<SeriesInfo>& all) {
    const std::string sql = std::string(kSeriesColumns) + "ORDER BY name";
    return Select(sql.c_str(), {}, all);
}

PgReply SerialSeries::Create(const std::string& name, std::uint64_t first, int words,
                             bool& created, SeriesInfo& found) {
    // The set-up lock, taken by the function, keeps two hosts from making the series twice.
    PgReply reply = db_.Exec("SELECT vantix.create_series($1, $2::bigint, $3::smallint)",
                             {name, std::to_string(first), std::to_string(words)});
    created = reply.Done() && reply.Value() == "t";
    if (!reply.Done() || created) {
        return reply;
    }
    std::optional<SeriesInfo> existing;
    reply = Find(name, existing);
    found = existing.value_or(SeriesInfo{});
    return reply;
}

PgReply SerialSeries::Take(const std::string& name, const std::string& claim,
                           std::optional<std::uint64_t>& number) {
    PgReply reply = db_.Exec("SELECT vantix.take_number($1, $2::jsonb)", {name, claim});
    number.reset();
    if (reply.Value()) {
        number = std::stoull(*reply.Value());
    }
    return reply;
}

PgReply SerialSeries::Lookup(const std::string& run, std::optional<std::uint64_t>& number) {
    PgReply reply = db_.Exec("SELECT vantix.run_number($1::uuid)", {run});
    number.reset();
    if (reply.Value()) {
        number = std::stoull(*reply.Value());
    }
    return reply;
}
