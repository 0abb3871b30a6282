#include "stationdb/RecordStore.h"

#include "records/JsonText.h"

PgReply RecordStore::Store(const std::string& line, bool& added) {
    // Through the one function that may insert records: a station reads none and changes none.
    const PgReply reply = db_.Exec("SELECT vantix.store_record($1::jsonb)", {ForJsonb(line)});
    added = reply.Done() && reply.Value() == "t";
    return reply;
}

std::string RecordStore::LineFor(const std::string& logLine, const std::string& station,
                                 const std::string& run) {
    const std::string runField = ",\"run\":\"" + run + "\"";
    std::string line = logLine.substr(0, logLine.rfind('}'));
    // Within a JSON text this can only be the record's own field: quotes in values are escaped.
    const bool hasRun = line.find(runField) != std::string::npos;
    line += ",\"station\":" + JsonQuoted(station);
    if (!IsUtf8(station)) {
        line += ",\"station_hex\":\"" + HexBytes(station) + "\"";
    }
    return line + (hasRun ? "" : runField) + "}";
}

std::string RecordStore::ForJsonb(const std::string& json) {
    std::string safe;
    safe.reserve(json.size());
    for (std::size_t i = 0; i < json.size(); ++i) {
        if (json[i] == '\\' && json.compare(i, 6, "\\u0000") == 0) {
            safe += "\\ufffd";
            i += 5;
        } else if (json[i] == '\\' && i + 1 < json.size()) {
            safe += json.substr(i++, 2);  // an escaped backslash starts no escape after it
        } else {
            safe += json[i];
        }
    }
    return safe;
}
