#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Times as the records write them ("2026-12-07T09:41:05.250Z") and as a user types them.

// Where a fraction finer than a microsecond lands: on the microsecond it falls in, or on the
// next one. A bound compared with the records' times is rounded up, so that a run at
// 00:00:00 lies before 00:00:00.0000001.
enum class FractionTo { Earlier, Later };

// "2026-12-07", "2026-12-07T09:41", "2026-12-07T09:41:05", "2026-12-07 09:41:05.250", each
// with an optional zone: "Z", "+01:00", "-0500" or "+01". A time without a zone is UTC, as
// every record's time is. In microseconds since 1970-01-01 00:00 UTC; none for anything
// else, or a date that does not exist.
std::optional<std::int64_t> ParseIsoTimeMicros(std::string_view text,
                                               FractionTo fraction = FractionTo::Earlier);
// The same in whole seconds: the second the time falls in.
std::optional<std::int64_t> ParseIsoTime(std::string_view text);

// "2026-12-07T09:41:05.25Z"; no fraction when the time is a whole second.
std::string UtcTextMicros(std::int64_t micros);
// "2026-12-07T09:41:05Z"
std::string UtcText(std::int64_t seconds);
