#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
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

// count words counting up from first.
inline std::vector<std::uint16_t> RampWords(std::uint16_t first, std::size_t count) {
    std::vector<std::uint16_t> words(count);
    for (std::size_t i = 0; i < count; ++i) {
        words[i] = static_cast<std::uint16_t>(first + i);
    }
    return words;
}

// PFLASH 0x0004-0x0100 (253 words) and two DFLASH words at 0x1000 on a DSP56F805.
inline std::string SmallDsp56f805Image() {
    std::string text;
    const std::vector<std::uint16_t> words = RampWords(0x1000, 253);
    for (std::size_t i = 0; i < words.size(); i += 16) {
        const std::size_t n = std::min<std::size_t>(16, words.size() - i);
        text += S3Record(static_cast<std::uint32_t>(4 + i),
                         std::vector<std::uint16_t>(words.begin() + i, words.begin() + i + n)) +
                "\n";
    }
    text += S3Record(0x201000, {0xAAAA, 0xBBBB}) + "\n";
    return text;
}
