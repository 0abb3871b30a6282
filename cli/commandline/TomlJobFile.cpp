#include "commandline/TomlJobFile.h"

#include <toml++/toml.h>

#include <sstream>

#include "records/SystemReason.h"

namespace {

constexpr const char* kBlanks = " \t\r";

std::string Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return std::string(text.substr(first, text.find_last_not_of(kBlanks) - first + 1));
}

std::string Unquoted(std::string key) {
    if (key.size() >= 2 && (key.front() == '"' || key.front() == '\'') &&
        key.back() == key.front()) {
        return key.substr(1, key.size() - 2);
    }
    return key;
}

bool IsBareKey(const std::string& text) {
    return !text.empty() && text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstu"
                                                   "vwxyz0123456789_-.") == std::string::npos;
}

std::vector<std::string> Lines(std::string_view text) {
    std::vector<std::string> lines;
    std::istringstream stream{std::string(text)};
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Where a syntax error stands: the key of its line, or of the line above that starts the
// value it is in; a key alone on its line; a section header; or nothing that is seen.
struct ErrorPlace {
    enum class Kind { Unknown, Key, BareKey, Section } kind = Kind::Unknown;
    std::string text;
    bool openQuote = false;  // Key: its value opens a one-line string that the line never closes
};

bool OpensQuote(const std::string& value) {
    if (value.empty() || (value[0] != '"' && value[0] != '\'') ||
        value.rfind(std::string(3, value[0]), 0) == 0) {
        return false;  // not a one-line string
    }
    for (std::size_t at = 1; at < value.size(); ++at) {
        if (value[0] == '"' && value[at] == '\\') {
            ++at;  // an escape: the next character does not end the string
        } else if (value[at] == value[0]) {
            return false;
        }
    }
    return true;
}

ErrorPlace WhatStandsAt(const std::vector<std::string>& lines, std::size_t line) {
    for (std::size_t at = std::min(line, lines.size()); at >= 1; --at) {
        const std::string& whole = lines[at - 1];
        const std::string text = Trimmed(std::string_view(whole).substr(0, whole.find('#')));
        if (!text.empty() && text.front() == '[') {
            return at == line ? ErrorPlace{ErrorPlace::Kind::Section, text} : ErrorPlace{};
        }
        if (const std::size_t equals = text.find('='); equals != std::string::npos) {
            return {ErrorPlace::Kind::Key, Unquoted(Trimmed(text.substr(0, equals))),
                    at == line && OpensQuote(Trimmed(Trimmed(whole).substr(equals + 1)))};
        }
        if (at == line && IsBareKey(text)) {
            return {ErrorPlace::Kind::BareKey, text};
        }
    }
    return {};
}

std::string SyntaxFault(const toml::parse_error& error, std::string_view text,
                        const std::string& path) {
    const std::uint32_t line = error.source().begin.line;
    const ErrorPlace where = WhatStandsAt(Lines(text), line);
    const std::string place = JobFilePlace(path, line);
    if (where.kind == ErrorPlace::Kind::BareKey) {
        return place + "option '" + where.text + "' has no value";
    }
    std::string why(error.description());
    if (why.rfind("Error while", 0) == 0) {
        why.replace(0, 11, "while");
    }
    switch (where.kind) {
        case ErrorPlace::Kind::Key: {
            if (where.openQuote) {
                return place + "the value of option '" + where.text +
                       "' opens a quote that is not closed";
            }
            // A value that is text without quotes is the usual mistake.
            const bool unquoted = why.find("could not determine value type") != std::string::npos ||
                                  why.find("expected a comment or whitespace") != std::string::npos;
            return place + "option '" + where.text + "' is not valid TOML (" + why + ")" +
                   (unquoted ? ": a text value goes in quotes" : "");
        }
        case ErrorPlace::Kind::Section:
            return place + "section " + where.text + " is not valid TOML (" + why + ")";
        default:
            return place + "not valid TOML (" + why + ")";
    }
}

JobFileSetting SettingOf(const toml::node& node, const std::string& section,
                         const std::string& key, const std::string& path) {
    JobFileSetting setting;
    setting.file = path;
    setting.line = node.source().begin.line;
    setting.section = section;
    setting.key = key;
    setting.toml = true;
    if (const auto* text = node.as_string()) {
        setting.values = {text->get()};
    } else if (const auto* number = node.as_integer()) {
        setting.type = JobFileSetting::Type::Integer;
        setting.values = {std::to_string(number->get())};
    } else if (const auto* flag = node.as_boolean()) {
        setting.type = JobFileSetting::Type::Boolean;
        setting.values = {flag->get() ? "true" : "false"};
    } else if (node.is_floating_point()) {
        setting.type = JobFileSetting::Type::Float;
    } else if (node.is_date() || node.is_time() || node.is_date_time()) {
        setting.type = JobFileSetting::Type::Date;
    } else if (const auto* array = node.as_array()) {
        setting.type = JobFileSetting::Type::Array;
        for (const toml::node& item : *array) {
            if (const auto* itemText = item.as_string()) {
                setting.values.push_back(itemText->get());
            } else {
                setting.allStrings = false;
            }
        }
    } else {
        setting.type = JobFileSetting::Type::Table;
    }
    return setting;
}

void AddTable(const toml::table& table, const std::string& section, const std::string& path,
              std::vector<JobFileSetting>& settings) {
    for (const auto& [name, node] : table) {
        const std::string key(name.str());
        const auto* inner = node.as_table();
        if (inner == nullptr || inner->is_inline()) {
            settings.push_back(SettingOf(node, section, key, path));
            continue;
        }
        // A [header] (or a dotted key's table): its keys belong to that section.
        const std::string nested = section.empty() ? key : section + "." + key;
        JobFileSetting mark;
        mark.file = path;
        mark.line = node.source().begin.line;
        mark.section = nested;
        mark.toml = true;
        mark.type = JobFileSetting::Type::Table;
        settings.push_back(mark);
        AddTable(*inner, nested, path, settings);
    }
}

}  // namespace

JobFileReading ReadTomlJobText(std::string_view text, const std::string& path) {
    JobFileReading reading;
    try {
        const toml::table root = toml::parse(text, std::string_view(path));
        AddTable(root, "", path, reading.settings);
    } catch (const toml::parse_error& error) {
        reading.fault = SyntaxFault(error, text, path);
    }
    return reading;
}

JobFileReading ReadTomlJobFile(const std::string& path) {
    std::string text;
    if (!ReadJobFileText(path, text)) {
        return {{}, "cannot read the job file " + path + SystemReason(path)};
    }
    return ReadTomlJobText(text, path);
}
