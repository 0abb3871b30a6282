#include "SimFill.h"

#include <cctype>

std::optional<SimFill> SimFill::Parse(const std::string& text) {
    // In any letter case, as the CPU and region names.
    std::string lower = text;
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (lower == "erased") {
        return Erased();
    }
    if (lower == "random") {
        return Random();
    }
    if (text.size() != 4) {
        return std::nullopt;
    }
    std::uint16_t word = 0;
    for (const char c : text) {
        if (std::isxdigit(static_cast<unsigned char>(c)) == 0) {
            return std::nullopt;
        }
        const int digit = std::isdigit(static_cast<unsigned char>(c)) != 0
                              ? c - '0'
                              : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
        word = static_cast<std::uint16_t>((word << 4) | digit);
    }
    return Every(word);
}
