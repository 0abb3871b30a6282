#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// One JSON object written on one line. Strings are escaped, so any path or text is safe in
// it, whatever its bytes; numbers never depend on the locale.
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

// value as a quoted JSON string. Each byte that is not part of a well-formed UTF-8 sequence
// becomes U+FFFD, so that any bytes give valid JSON.
std::string JsonQuoted(std::string_view value);
// Whether the text is well-formed UTF-8 (no overlong forms, no surrogates, at most U+10FFFF).
bool IsUtf8(std::string_view text);
// The text with each byte that is not part of well-formed UTF-8 made U+FFFD, as records
// write it.
std::string ValidUtf8(std::string_view text);
// The bytes as lower-case hex digits, two a byte.
std::string HexBytes(std::string_view bytes);
