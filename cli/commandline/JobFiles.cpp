#include "commandline/JobFiles.h"

#include <algorithm>
#include <cctype>

#include <CLI/CLI.hpp>

#include "OptionTable.h"
#include "commandline/CommandTable.h"
#include "commandline/IniJobFile.h"
#include "commandline/TomlJobFile.h"

namespace {

using Type = JobFileSetting::Type;

bool IsTomlFile(const std::string& path) {
    std::string end = path.size() >= 5 ? path.substr(path.size() - 5) : std::string();
    std::transform(end.begin(), end.end(), end.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return end == ".toml";
}

// Faults the job file reader has always worded without a line keep their words; a TOML
// file's name the line.
std::string Place(const JobFileSetting& setting) {
    return JobFilePlace(setting.file, setting.toml ? setting.line : 0);
}

std::string At(const JobFileSetting& setting) {
    return JobFilePlace(setting.file, setting.line);
}

std::string FullName(const JobFileSetting& setting) {
    return setting.section.empty() ? setting.key : setting.section + "." + setting.key;
}

// The tool, or the command a section names; null for a section that is no command.
const CLI::App* ScopeOf(const CommandSet& commands, const CLI::App& tool,
                        const std::string& section) {
    if (section.empty()) {
        return &tool;
    }
    return commands.Find(section) != nullptr ? tool.get_subcommand(section) : nullptr;
}

// A key finds its option as CLI11 looks it up: the long name, a one-letter short name, or an
// operand's name.
template <typename App>
auto* OwnOption(App& scope, const std::string& key) {
    auto* option = scope.get_option_no_throw("--" + key);
    if (option == nullptr && key.size() == 1) {
        option = scope.get_option_no_throw("-" + key);
    }
    return option != nullptr ? option : scope.get_option_no_throw(key);
}

// Under a section also the tool's own options (not its hidden copies of the commands'
// options, which have no group).
template <typename App>
auto* OptionOfKey(App& tool, App& scope, const std::string& key) {
    auto* option = OwnOption(scope, key);
    if (option == nullptr && &scope != &tool) {
        option = OwnOption(tool, key);
        if (option != nullptr && option->get_group().empty()) {
            option = nullptr;
        }
    }
    return option;
}

const OptionInfo* InfoOf(const CommandSet& commands, const CLI::Option& option) {
    const std::vector<std::string>& names = option.get_lnames();
    return names.empty() ? nullptr : commands.FindRow(names.front());
}

// Options whose value is a list, in a job file a string with commas or an array.
bool TakesList(const OptionInfo* info) {
    return info != nullptr &&
           (info->kind == ValueKind::RegionList || std::string_view(info->longName) == "pods" ||
            std::string_view(info->longName) == "board-id");
}

bool TakesInteger(const OptionInfo* info) {
    return info != nullptr && (info->kind == ValueKind::Count || info->kind == ValueKind::Cpu);
}

std::string CheckFlag(const JobFileSetting& s) {
    // Flags take true and false; "yes", "1" or "maybe" are typing errors.
    const bool text = s.type == Type::Text || s.type == Type::Bare;
    if (s.type == Type::Boolean ||
        (text && s.values.size() == 1 && (s.values[0] == "true" || s.values[0] == "false"))) {
        return {};
    }
    if (text) {
        return Place(s) + "option '" + s.key + "' takes true or false, not '" +
               CLI::detail::join(s.values, ",") + "'";
    }
    return At(s) + "option '" + s.key + "' takes true or false, not " + TypeName(s.type);
}

// An INI value without quotes is split at commas, and without commas at blanks: a value
// with a blank, or a list where one value goes, is not what the file meant to say.
std::string CheckUnquoted(const JobFileSetting& s, bool list) {
    if (s.toml || s.quoted) {
        return {};
    }
    const std::string holdsBlank =
        At(s) + "the value of option '" + s.key + "' holds a blank: write it in quotes";
    if (!list && s.values.size() > 1) {
        return s.written.find(',') == std::string::npos
                   ? holdsBlank
                   : At(s) + "option '" + s.key + "' takes one value, not the list '" +
                         s.written + "'";
    }
    for (const std::string& item : CLI::detail::split(s.written, ',')) {
        if (CLI::detail::trim_copy(item).find_first_of(" \t") != std::string::npos) {
            return holdsBlank;
        }
    }
    return {};
}

std::string CheckValue(const CommandSet& commands, const CLI::Option& option,
                       const JobFileSetting& s) {
    if (option.get_expected_max() == 0) {
        return CheckFlag(s);
    }
    if (s.type == Type::Bare) {
        return At(s) + "option '" + s.key + "' has no value";
    }
    const OptionInfo* info = InfoOf(commands, option);
    const bool list = TakesList(info);
    const bool fits = s.type == Type::Text || (s.type == Type::Integer && TakesInteger(info)) ||
                      (s.type == Type::Array && list && s.allStrings);
    if (!fits) {
        const char* takes = TakesInteger(info) ? "a string or an integer"
                            : list             ? "a string or an array of strings"
                                               : "a string";
        return At(s) + "option '" + s.key + "' takes " + takes + ", not " +
               (s.type == Type::Array && list ? "an array holding other values"
                                              : TypeName(s.type));
    }
    if (s.values.empty() || std::any_of(s.values.begin(), s.values.end(),
                                        [](const std::string& v) { return v.empty(); })) {
        return Place(s) + "option '" + s.key + "' has an empty value";
    }
    // A TOML escape can write a NUL character, where a path or a name would end early.
    if (std::any_of(s.values.begin(), s.values.end(), [](const std::string& v) {
            return v.find('\0') != std::string::npos;
        })) {
        return At(s) + "the value of option '" + s.key + "' holds a NUL character";
    }
    return CheckUnquoted(s, list);
}

// A command option is also the tool's (hidden) option of the same name: a value given to
// either, on the command line or under the command's section, is the one used.
bool SaidElsewhere(const CLI::App& tool, const CLI::App* command, const CLI::Option& option) {
    const std::vector<std::string>& names = option.get_lnames();
    if (command == nullptr || names.empty()) {
        return false;
    }
    const std::string name = "--" + names.front();
    for (const CLI::Option* twin :
         {tool.get_option_no_throw(name), command->get_option_no_throw(name)}) {
        if (twin != nullptr && twin != &option && twin->count() > 0) {
            return true;
        }
    }
    return false;
}

std::string UnknownKeyText(const CommandSet& commands, const JobFileSetting& s) {
    const CommandInfo* command = commands.Find(s.section);
    const std::string refusal =
        command != nullptr && command->refuseForeign ? command->refuseForeign(s.key) : "";
    return !refusal.empty() ? refusal : "unknown option '" + FullName(s) + "'";
}

// What is wrong with one setting, or empty; `option` is its option when it has one.
std::string CheckSetting(const CommandSet& commands, const CLI::App& tool, const JobFileSetting& s,
                         const CLI::Option*& option) {
    option = nullptr;
    const CLI::App* scope = ScopeOf(commands, tool, s.section);
    if (scope == nullptr) {
        return Place(s) + "unknown section [" + s.section + "]";
    }
    if (s.key.empty()) {
        return {};  // the section's header
    }
    option = OptionOfKey(tool, *scope, s.key);
    if (option == nullptr) {
        return Place(s) + UnknownKeyText(commands, s);
    }
    if (!option->get_configurable()) {
        return Place(s) + FullName(s) + ": This option is not allowed in a configuration file";
    }
    return CheckValue(commands, *option, s);
}

JobFileReading ReadOne(const std::string& path) {
    return IsTomlFile(path) ? ReadTomlJobFile(path) : ReadIniJobFile(path);
}

}  // namespace

std::string JobFiles::Read(const CLI::App& tool, const std::vector<std::string>& paths) {
    settings_.clear();
    std::vector<const CLI::Option*> options;  // of settings_
    for (const std::string& path : paths) {
        JobFileReading reading = ReadOne(path);
        if (!reading.fault.empty()) {
            return reading.fault;
        }
        for (JobFileSetting& setting : reading.settings) {
            const CLI::Option* option = nullptr;
            if (std::string fault = CheckSetting(commands_, tool, setting, option);
                !fault.empty()) {
                return fault;
            }
            // A later file's value for the same option of the same section replaces it.
            for (std::size_t i = 0; option != nullptr && i < settings_.size(); ++i) {
                if (options[i] == option && settings_[i].section == setting.section) {
                    settings_.erase(settings_.begin() + static_cast<std::ptrdiff_t>(i));
                    options.erase(options.begin() + static_cast<std::ptrdiff_t>(i));
                    break;
                }
            }
            settings_.push_back(std::move(setting));
            options.push_back(option);
        }
    }
    return {};
}

std::vector<JobFiles::Applied> JobFiles::Apply(CLI::App& tool, CLI::App* command) const {
    std::vector<Applied> applied;
    for (const bool underSection : {true, false}) {
        for (const JobFileSetting& s : settings_) {
            if (s.key.empty() || s.section.empty() == underSection ||
                (underSection && (command == nullptr || s.section != command->get_name()))) {
                continue;
            }
            CLI::App& scope = underSection ? *command : tool;
            CLI::Option* option = OptionOfKey(tool, scope, s.key);
            if (option == nullptr || option->count() > 0 || SaidElsewhere(tool, command, *option)) {
                continue;  // the command line, or the command's section, said it
            }
            if (option->get_expected_max() == 0) {
                option->add_result(option->get_flag_value(s.key, s.values.front()));
            } else {
                // A list (an array, or an INI value CLI11 split at its commas) is one value
                // with commas, as on the command line: an option that takes one value has
                // only one.
                option->add_result(CLI::detail::join(s.values, ","));
                option->run_callback();
            }
            applied.emplace_back(option, s);
        }
    }
    return applied;
}

std::vector<std::string> JobFilePaths(const std::vector<std::string>& prepared) {
    std::vector<std::string> paths;
    const auto optionsEnd = std::find(prepared.begin(), prepared.end(), "--");
    for (auto arg = prepared.begin(); arg != optionsEnd; ++arg) {
        if (*arg == "--config" && arg + 1 != optionsEnd) {
            paths.push_back(*++arg);
        } else if (arg->rfind("--config=", 0) == 0) {
            paths.push_back(arg->substr(9));
        }
    }
    return paths;
}
