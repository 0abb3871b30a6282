#include "commandline/IniJobFile.h"

#include <algorithm>
#include <sstream>

#include <CLI/CLI.hpp>

#include "records/SystemReason.h"

namespace {

// One "key = value" line (or a key alone) as the text writes it.
struct WrittenKey {
    std::string fullName;  // section and key joined by dots, as CLI11 names the item
    std::uint32_t line = 0;
    std::string value;  // after "=", without a comment, trimmed
    bool bare = false;
    bool used = false;
};

// CLI11 joins a key given twice in a row into one list, as it does an array: the text itself
// tells them apart. Empty when the text is sound.
std::string ScanText(const std::string& text, const std::string& where,
                     std::vector<WrittenKey>& keys) {
    std::istringstream lines(text);
    std::string section;
    std::uint32_t number = 0;
    for (std::string line; std::getline(lines, line);) {
        ++number;
        line = CLI::detail::trim_copy(line);
        if (line.empty() || line[0] == '#' || line[0] == ';') {
            continue;
        }
        if (line[0] == '[') {
            section = CLI::detail::trim_copy(line.substr(1, line.find(']') - 1));
            continue;
        }
        const std::size_t equals = line.find('=');
        std::string key = CLI::detail::trim_copy(line.substr(0, equals));
        std::string value = equals == std::string::npos
                                ? std::string()
                                : CLI::detail::trim_copy(line.substr(equals + 1));
        if (!value.empty() && (value[0] == '"' || value[0] == '\'') &&
            (value.size() == 1 || value.back() != value[0])) {
            return where + "the value of option '" + key + "' opens a quote that is not closed";
        }
        value = CLI::detail::trim_copy(value.substr(0, value.find('#')));
        CLI::detail::remove_quotes(key);
        const std::string fullName = section.empty() ? key : section + "." + key;
        if (std::any_of(keys.begin(), keys.end(),
                        [&](const WrittenKey& seen) { return seen.fullName == fullName; })) {
            return where + "option '" + key + "' is given twice" +
                   (section.empty() ? "" : " under [" + section + "]");
        }
        keys.push_back({fullName, number, value, equals == std::string::npos});
    }
    return {};
}

JobFileSetting SettingOf(const CLI::ConfigItem& item, std::vector<WrittenKey>& keys,
                         const std::string& path) {
    JobFileSetting setting;
    setting.file = path;
    setting.section = CLI::detail::join(item.parents, ".");
    if (item.name == "++" || item.name == "--") {
        setting.type = JobFileSetting::Type::Table;  // the section's header
        return setting;
    }
    setting.key = item.name;
    setting.values = item.inputs;
    const std::string fullName = item.fullname();
    const auto written = std::find_if(keys.begin(), keys.end(), [&](const WrittenKey& key) {
        return !key.used && key.fullName == fullName;
    });
    if (written != keys.end()) {
        written->used = true;
        setting.line = written->line;
        setting.written = written->value;
        setting.quoted = written->value.find_first_of("\"'") != std::string::npos;
        setting.type = written->bare ? JobFileSetting::Type::Bare : JobFileSetting::Type::Text;
    }
    return setting;
}

// The text without the comments that start with ';' after a value ("cpu = 807 ; line 3"),
// which CLI11 would keep as part of the value: a ';' outside quotes, at the start of the
// line or after a blank, ends the line's text as '#' does.
std::string WithoutSemicolonComments(const std::string& text) {
    std::string kept;
    kept.reserve(text.size());
    char quote = 0;
    bool skipping = false;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        if (c == '\n') {
            quote = 0;
            skipping = false;
        } else if (skipping) {
            continue;
        } else if (quote != 0) {
            quote = c == quote ? 0 : quote;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == ';' && (at == 0 || text[at - 1] == ' ' || text[at - 1] == '\t')) {
            skipping = true;
            continue;
        }
        kept += c;
    }
    return kept;
}

}  // namespace

JobFileReading ReadIniJobFile(const std::string& path) {
    std::string text;
    if (!ReadJobFileText(path, text)) {
        return {{}, "cannot read the job file " + path + SystemReason(path)};
    }
    text = WithoutSemicolonComments(text);
    const std::string where = JobFilePlace(path, 0);
    JobFileReading reading;
    std::vector<WrittenKey> keys;
    reading.fault = ScanText(text, where, keys);
    if (!reading.fault.empty()) {
        return reading;
    }
    std::istringstream input(text);
    std::vector<CLI::ConfigItem> items;
    try {
        items = CLI::ConfigTOML().from_config(input);
    } catch (const CLI::Error&) {
        reading.fault = where + "the text cannot be read as options";
        return reading;
    }
    for (const CLI::ConfigItem& item : items) {
        reading.settings.push_back(SettingOf(item, keys, path));
    }
    return reading;
}
