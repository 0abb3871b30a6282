#pragma once

#include <filesystem>
#include <string>

// File names travel as UTF-8 text. std::filesystem reads a plain string in the system's own
// encoding, which on Windows need not be UTF-8 (even where the program's code page is);
// char8_t text it always reads as UTF-8.
inline std::filesystem::path Utf8Path(const std::string& name) {
    return std::filesystem::path(std::u8string(name.begin(), name.end()));
}
