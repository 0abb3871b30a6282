#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "OptionTable.h"
#include "commandline/CommandTable.h"

class OptionReader;

// What report reads and writes: the logs (--log FILE..., in the order given), the reports
// (--html, --csv; empty: not written), and the runs it takes (--since, --until: microseconds
// since 1970 UTC; --image: the image's SHA-256 in lower case).
struct ReportOptions : CommandOptions {
    std::vector<std::string> logs;
    std::string html;
    std::string csv;
    std::optional<std::int64_t> since;
    std::optional<std::int64_t> until;
    std::optional<std::string> imageSha256;
};

// Reads the report's options; the refusal, or empty when they are sound.
std::string ReadReportOptions(const OptionReader& reader, ReportOptions& options);

// report's own rows.
extern const OptionInfo kHtmlRow;
extern const OptionInfo kCsvRow;
extern const OptionInfo kSinceRow;
extern const OptionInfo kUntilRow;
extern const OptionInfo kImageRow;
