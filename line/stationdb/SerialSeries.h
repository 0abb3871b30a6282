#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "stationdb/PgConnection.h"

// A serial series as the station database keeps it.
struct SeriesInfo {
    std::string name;
    std::uint64_t first = 0;
    int words = 1;
    // The number the next board gets; none when the series has handed out its last one.
    std::optional<std::uint64_t> next;
};

// The serial series of a line. Each series draws its numbers from a sequence of its own,
// which never hands a number out twice, whatever becomes of the transaction that took it
// (a rolled-back or lost number is a gap, never reused). A number is taken in one statement
// that commits it with the UUID of the run that took it, so a run that does not learn the
// outcome looks its number up instead of taking another.
class SerialSeries {
public:
    explicit SerialSeries(PgConnection& db) : db_(db) {}

    // Creates the series, its sequence the tables' owner's; when one of that name exists,
    // `created` is false and `found` holds it. Serialised with the other hosts by the set-up
    // lock.
    PgReply Create(const std::string& name, std::uint64_t first, int words, bool& created,
                   SeriesInfo& found);
    PgReply Find(const std::string& name, std::optional<SeriesInfo>& found);
    // Whether the series exists, for a login that may not read its numbers.
    PgReply Exists(const std::string& name, bool& exists);
    PgReply List(std::vector<SeriesInfo>& all);
    // Takes the series' next number for the claim, a JSON object with the run's "run" (UUID),
    // "station" and "board". No number when the series does not exist or the run holds one
    // already (Lookup tells).
    PgReply Take(const std::string& name, const std::string& claim,
                 std::optional<std::uint64_t>& number);
    // The number the run took, if it took one.
    PgReply Lookup(const std::string& run, std::optional<std::uint64_t>& number);

private:
    PgReply Select(const char* sql, const std::vector<std::optional<std::string>>& values,
                   std::vector<SeriesInfo>& all);

    PgConnection& db_;
};
