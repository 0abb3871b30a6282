#include "records/JsonText.h"

#include <charconv>
#include <cstdio>

std::string JsonQuoted(std::string_view value) {
    std::string quoted = "\"";
    for (const char c : value) {
        switch (c) {
            case '"':
                quoted += "\\\"";
                break;
            case '\\':
                quoted += "\\\\";
                break;
            case '\n':
                quoted += "\\n";
                break;
            case '\r':
                quoted += "\\r";
                break;
            case '\t':
                quoted += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x",
                                  static_cast<unsigned>(static_cast<unsigned char>(c)));
                    quoted += escaped;
                } else {
                    quoted += c;
                }
        }
    }
    return quoted + '"';
}

void JsonObject::Key(std::string_view key) {
    if (body_.size() > 1) {
        body_ += ',';
    }
    body_ += JsonQuoted(key);
    body_ += ':';
}

JsonObject& JsonObject::Text(std::string_view key, std::string_view value) {
    Key(key);
    body_ += JsonQuoted(value);
    return *this;
}

JsonObject& JsonObject::Number(std::string_view key, std::int64_t value) {
    Key(key);
    body_ += std::to_string(value);
    return *this;
}

JsonObject& JsonObject::Decimal(std::string_view key, double value, int decimals) {
    Key(key);
    char text[64];
    const auto [end, error] =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    body_.append(text, error == std::errc() ? end : text);
    if (error != std::errc()) {
        body_ += '0';
    }
    return *this;
}

JsonObject& JsonObject::Boolean(std::string_view key, bool value) {
    Key(key);
    body_ += value ? "true" : "false";
    return *this;
}

JsonObject& JsonObject::Null(std::string_view key) {
    Key(key);
    body_ += "null";
    return *this;
}

JsonObject& JsonObject::Raw(std::string_view key, std::string_view json) {
    Key(key);
    body_ += json;
    return *this;
}
