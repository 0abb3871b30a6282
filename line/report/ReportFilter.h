#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "report/ReportRecord.h"

// Which records a report takes: --since (from that time on), --until (before that time) and
// --image (the file of that SHA-256).
struct ReportFilter {
    std::optional<std::int64_t> since;  // microseconds since 1970 UTC
    std::optional<std::int64_t> until;
    std::optional<std::string> sha256;  // lower-case hex

    bool Keeps(const ReportRecord& record) const {
        const std::int64_t micros = record.time * 1000000 + record.microseconds;
        return (!since || micros >= *since) && (!until || micros < *until) &&
               (!sha256 || record.sha256 == sha256);
    }
};
