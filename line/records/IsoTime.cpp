#include "records/IsoTime.h"

#include <cstdio>

namespace {

// Days from 1970-01-01 to the date in the proleptic Gregorian calendar (Howard Hinnant's
// days_from_civil).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

unsigned DaysInMonth(std::int64_t y, unsigned m) {
    static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : kDays[m - 1];
}

// Reads exactly `count` digits at `at`, moving past them.
bool Digits(std::string_view text, std::size_t& at, std::size_t count, unsigned& value) {
    if (at + count > text.size()) {
        return false;
    }
    value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const char c = text[at + i];
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    at += count;
    return true;
}

bool Take(std::string_view text, std::size_t& at, char c) {
    if (at < text.size() && text[at] == c) {
        ++at;
        return true;
    }
    return false;
}

// The zone's offset east of UTC in seconds: "Z", "+HH", "+HH:MM", "+HHMM"; 0 when none.
std::optional<std::int64_t> ZoneOffset(std::string_view text, std::size_t& at) {
    if (at == text.size() || Take(text, at, 'Z') || Take(text, at, 'z')) {
        return 0;
    }
    const char sign = text[at];
    if (sign != '+' && sign != '-') {
        return std::nullopt;
    }
    ++at;
    unsigned hours = 0;
    unsigned minutes = 0;
    if (!Digits(text, at, 2, hours)) {
        return std::nullopt;
    }
    if (at < text.size()) {
        Take(text, at, ':');
        if (!Digits(text, at, 2, minutes)) {
            return std::nullopt;
        }
    }
    if (hours > 23 || minutes > 59) {
        return std::nullopt;
    }
    const std::int64_t offset = (hours * 60 + minutes) * 60;
    return sign == '-' ? -offset : offset;
}

}  // namespace

std::optional<std::int64_t> ParseIsoTimeMicros(std::string_view text, FractionTo rounding) {
    std::size_t at = 0;
    std::int64_t micros = 0;
    bool finer = false;  // a digit other than 0 past the microsecond
    unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!Digits(text, at, 4, year) || !Take(text, at, '-') || !Digits(text, at, 2, month) ||
        !Take(text, at, '-') || !Digits(text, at, 2, day)) {
        return std::nullopt;
    }
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) {
        return std::nullopt;
    }
    if (Take(text, at, 'T') || Take(text, at, 't') || Take(text, at, ' ')) {
        if (!Digits(text, at, 2, hour) || !Take(text, at, ':') || !Digits(text, at, 2, minute)) {
            return std::nullopt;
        }
        if (Take(text, at, ':')) {
            if (!Digits(text, at, 2, second)) {
                return std::nullopt;
            }
            if (Take(text, at, '.') || Take(text, at, ',')) {
                const std::size_t fraction = at;
                for (std::int64_t scale = 100000;
                     at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
                    micros += (text[at] - '0') * scale;
                    finer = finer || (scale == 0 && text[at] != '0');
                    scale /= 10;
                }
                if (at == fraction) {
                    return std::nullopt;
                }
            }
        }
    }
    // 24:00 is not taken; 23:59:60 (a leap second) counts as the next second.
    if (hour > 23 || minute > 59 || second > 60) {
        return std::nullopt;
    }
    const std::optional<std::int64_t> offset = ZoneOffset(text, at);
    if (!offset || at != text.size()) {
        return std::nullopt;
    }
    const std::int64_t seconds =
        DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second - *offset;
    return seconds * 1000000 + micros + (rounding == FractionTo::Later && finer ? 1 : 0);
}

std::optional<std::int64_t> ParseIsoTime(std::string_view text) {
    const std::optional<std::int64_t> micros = ParseIsoTimeMicros(text);
    if (!micros) {
        return std::nullopt;
    }
    // Floor division: a time before 1970 still lands on the second it falls in.
    return *micros / 1000000 - (*micros % 1000000 < 0 ? 1 : 0);
}

std::string UtcTextMicros(std::int64_t micros) {
    std::int64_t fraction = micros % 1000000;
    std::int64_t seconds = micros / 1000000;
    if (fraction < 0) {
        fraction += 1000000;
        --seconds;
    }
    std::string text = UtcText(seconds);
    if (fraction != 0) {
        char digits[8];
        std::snprintf(digits, sizeof digits, ".%06lld", static_cast<long long>(fraction));
        std::string part = digits;
        part.erase(part.find_last_not_of('0') + 1);
        text.insert(text.size() - 1, part);
    }
    return text;
}

std::string UtcText(std::int64_t seconds) {
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    // civil_from_days, the inverse of DaysFromCivil.
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned day = doy - (153 * mp + 2) / 5 + 1;
    const unsigned month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2);
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02u:%02u:%02uZ",
                  static_cast<long long>(year), month, day, static_cast<unsigned>(rest / 3600),
                  static_cast<unsigned>(rest / 60 % 60), static_cast<unsigned>(rest % 60));
    return text;
}
