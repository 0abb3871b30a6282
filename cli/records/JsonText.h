#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// One JSON object written on one line. Strings are escaped, so any path or text is safe in
// it; numbers never depend on the locale.
class JsonObject {
public:
    JsonObject& Text(std::string_view key, std::string_view value);
    JsonObject& Number(std::string_view key, std::int64_t value);
    // Fixed-point with the given number of decimals.
    JsonObject& Decimal(std::string_view key, double value, int decimals);
    JsonObject& Boolean(std::string_view key, bool value);
    JsonObject& Null(std::string_view key);
    // A value that is JSON already (an array or object).
    JsonObject& Raw(std::string_view key, std::string_view json);
    std::string Close() const { return body_ + '}'; }

private:
    void Key(std::string_view key);
    std::string body_ = "{";
};

// value as a quoted JSON string.
std::string JsonQuoted(std::string_view value);
