#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Times as the records write them ("2026-12-07T09:41:05Z") and as a user types them, in
// seconds since 1970-01-01 00:00 UTC. Parts finer than a second are dropped here.

// "2026-12-07", "2026-12-07T09:41", "2026-12-07T09:41:05", "2026-12-07 09:41:05.250", each
// with an optional zone: "Z", "+01:00", "-0500" or "+01". A time without a zone is UTC, as
// every record's time is. None for anything else, or a date that does not exist.
std::optional<std::int64_t> ParseIsoTime(std::string_view text);

// "2026-12-07T09:41:05Z"
std::string UtcText(std::int64_t seconds);
