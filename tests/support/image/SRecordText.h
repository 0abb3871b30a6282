#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Builds well-formed S3 records for tests: words are written low byte first.
inline std::string S3Record(std::uint32_t address, const std::vector<std::uint16_t>& words) {
    std::vector<std::uint8_t> body;
    body.push_back(static_cast<std::uint8_t>(words.size() * 2 + 5));
    for (int shift = 24; shift >= 0; shift -= 8) {
        body.push_back(static_cast<std::uint8_t>(address >> shift));
    }
    for (std::uint16_t w : words) {
        body.push_back(static_cast<std::uint8_t>(w & 0xFF));
        body.push_back(static_cast<std::uint8_t>(w >> 8));
    }
    unsigned sum = 0;
    std::string text = "S3";
    char hex[3];
    for (std::uint8_t b : body) {
        sum += b;
        std::snprintf(hex, sizeof hex, "%02X", b);
        text += hex;
    }
    std::snprintf(hex, sizeof hex, "%02X", (~sum) & 0xFF);
    return text + hex;
}
