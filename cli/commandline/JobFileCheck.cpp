#include "commandline/JobFileCheck.h"

#include <algorithm>
#include <fstream>

#include <CLI/CLI.hpp>

#include "Utf8Path.h"
#include "commandline/CommandTable.h"

namespace {

std::string JobFilePath(const std::vector<std::string>& prepared) {
    std::string path;
    const auto optionsEnd = std::find(prepared.begin(), prepared.end(), "--");
    for (auto arg = prepared.begin(); arg != optionsEnd; ++arg) {
        if (*arg == "--config" && arg + 1 != optionsEnd) {
            path = *(arg + 1);
        } else if (arg->rfind("--config=", 0) == 0) {
            path = arg->substr(9);
        }
    }
    return path;
}

// CLI11 joins a key given twice in a row into one list, as it does an array: the text itself
// tells them apart.
std::string CheckText(const std::string& path, const std::string& where) {
    std::ifstream text(Utf8Path(path));
    SkipByteOrderMark(text);
    std::vector<std::string> seen;
    std::string section;
    for (std::string line; std::getline(text, line);) {
        line = CLI::detail::trim_copy(line);
        if (line.empty() || line[0] == '#' || line[0] == ';') {
            continue;
        }
        if (line[0] == '[') {
            section = line;
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) {
            continue;
        }
        const std::string key = CLI::detail::trim_copy(line.substr(0, equals));
        const std::string value = CLI::detail::trim_copy(line.substr(equals + 1));
        if (!value.empty() && (value[0] == '"' || value[0] == '\'') &&
            (value.size() == 1 || value.back() != value[0])) {
            return where + "the value of option '" + key + "' opens a quote that is not closed";
        }
        if (std::find(seen.begin(), seen.end(), section + key) != seen.end()) {
            return where + "option '" + key + "' is given twice" +
                   (section.empty() ? "" : " under " + section);
        }
        seen.push_back(section + key);
    }
    return {};
}

// The tool, or the command a section names; null for a section that is no command.
const CLI::App* ScopeOf(const CLI::App& tool, const CLI::ConfigItem& item) {
    if (item.parents.empty()) {
        return &tool;
    }
    return FindCommand(item.parents.front()) != nullptr && item.parents.size() == 1
               ? tool.get_subcommand(item.parents.front())
               : nullptr;
}

bool IsSectionMark(const CLI::ConfigItem& item) {
    return item.name == "++" || item.name == "--";
}

std::string EmptyValue(const std::string& name) {
    return "option '" + name + "' has an empty value";
}

std::string CheckValues(const CLI::App& tool, const std::vector<CLI::ConfigItem>& items,
                        const std::string& where) {
    for (const CLI::ConfigItem& item : items) {
        const CLI::App* scope = ScopeOf(tool, item);
        if (scope == nullptr) {
            return where + "unknown section [" + CLI::detail::join(item.parents, ".") + "]";
        }
        const CLI::Option* option =
            IsSectionMark(item) ? nullptr : scope->get_option_no_throw("--" + item.name);
        if (option == nullptr) {
            continue;  // an unknown key: UnknownKey names it
        }
        const bool emptyValue =
            item.inputs.empty() || std::any_of(item.inputs.begin(), item.inputs.end(),
                                               [](const std::string& v) { return v.empty(); });
        if (option->get_expected_max() == 0) {
            // Flags take true and false; "yes", "1" or "maybe" are typing errors.
            if (item.inputs.size() != 1 ||
                (item.inputs[0] != "true" && item.inputs[0] != "false")) {
                return where + "option '" + item.name + "' takes true or false, not '" +
                       CLI::detail::join(item.inputs, ",") + "'";
            }
        } else if (emptyValue) {
            return where + EmptyValue(item.name);
        }
    }
    return {};
}

// A key finds its option as CLI11 looks it up: the long name, a one-letter short name, or
// an operand's name.
const CLI::Option* OptionOfKey(const CLI::App& scope, const std::string& key) {
    const CLI::Option* option = scope.get_option_no_throw("--" + key);
    if (option == nullptr && key.size() == 1) {
        option = scope.get_option_no_throw("-" + key);
    }
    return option != nullptr ? option : scope.get_option_no_throw(key);
}

std::string UnknownKeyText(const CLI::ConfigItem& item) {
    const std::string section = item.parents.empty() ? "" : item.parents.front();
    const std::string refusal = PodSerialRefusal(section, item.name);
    return !refusal.empty() ? refusal : "unknown option '" + item.fullname() + "'";
}

std::string UnknownKey(const CLI::App& tool, const std::vector<CLI::ConfigItem>& items,
                       const std::string& where) {
    for (const CLI::ConfigItem& item : items) {
        const CLI::App* scope = ScopeOf(tool, item);
        if (scope != nullptr && IsSectionMark(item)) {
            continue;
        }
        const CLI::Option* option = scope != nullptr ? OptionOfKey(*scope, item.name) : nullptr;
        if (option == nullptr) {
            return where + UnknownKeyText(item);
        }
        if (!option->get_configurable()) {
            return where + item.fullname() + ": This option is not allowed in a configuration file";
        }
    }
    return {};
}

}  // namespace

void SkipByteOrderMark(std::istream& input) {
    const std::istream::pos_type start = input.tellg();
    char mark[3] = {};
    if (!input.read(mark, 3) || mark[0] != '\xEF' || mark[1] != '\xBB' || mark[2] != '\xBF') {
        input.clear();
        input.seekg(start);
    }
}

JobFileFindings CheckJobFile(const CLI::App& tool, const std::vector<std::string>& prepared) {
    const std::string path = JobFilePath(prepared);
    if (path.empty()) {
        return {};
    }
    std::vector<CLI::ConfigItem> items;
    try {
        items = tool.get_config_formatter_base()->from_file(path);
    } catch (const CLI::Error&) {
        return {};  // the parse reports an unreadable file in its own words
    }
    const std::string where = "in the job file " + path + ": ";
    JobFileFindings findings;
    findings.fault = CheckText(path, where);
    if (findings.fault.empty()) {
        findings.fault = CheckValues(tool, items, where);
    }
    findings.unknownKey = UnknownKey(tool, items, where);
    return findings;
}
