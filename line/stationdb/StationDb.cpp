#include "stationdb/StationDb.h"

#include <algorithm>
#include <cstdio>
#include <random>

#if VANTIX_STATION_DB
#include "stationdb/PgStationDb.h"
#endif

std::vector<std::string> StationDbOutcome::Lines() const {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < message.size();) {
        const std::size_t end = std::min(message.find('\n', start), message.size());
        lines.push_back(message.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::unique_ptr<StationDb> StationDb::Open(const std::string& url, StationDbOutcome& outcome,
                                           const WaitNotice& notice) {
#if VANTIX_STATION_DB
    auto database = std::make_unique<PgStationDb>(url, notice);
    outcome = database->Connect();
    return outcome.Ok() ? std::move(database) : nullptr;
#else
    (void)url;
    (void)notice;
    outcome = {kExitInputError, "--station-db is not available in this build"};
    return nullptr;
#endif
}

std::string StationDb::NewRunId() {
    std::random_device random;
    unsigned char bytes[16];
    for (unsigned char& byte : bytes) {
        byte = static_cast<unsigned char>(random());
    }
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    char text[37];
    std::snprintf(text, sizeof text,
                  "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x",
                  bytes[0], bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7],
                  bytes[8], bytes[9], bytes[10], bytes[11], bytes[12], bytes[13], bytes[14],
                  bytes[15]);
    return text;
}
