#include "commandline/OptionReader.h"

#include <algorithm>
#include <filesystem>

#include <CLI/CLI.hpp>

#include "OptionTable.h"
#include "Utf8Path.h"

namespace {

std::string LongName(const OptionInfo& row) {
    return std::string("--") + row.longName;
}

}  // namespace

bool OnCommandLine(const CLI::App& app, const CLI::Option* option) {
    const auto& order = app.parse_order();
    return option != nullptr && std::find(order.begin(), order.end(), option) != order.end();
}

std::string FromJobFileFolder(const std::string& path, const CLI::Option* option,
                              const std::vector<JobFiles::Applied>& jobSettings) {
    const auto from = std::find_if(
        jobSettings.begin(), jobSettings.end(),
        [option](const JobFiles::Applied& applied) { return applied.first == option; });
    const std::filesystem::path named = Utf8Path(path);
    if (from == jobSettings.end() || named.is_absolute() || named.has_root_name()) {
        return path;
    }
    const std::u8string joined = (Utf8Path(from->second.file).parent_path() / named).u8string();
    return std::string(joined.begin(), joined.end());
}

OptionReader::OptionReader(const CLI::App& tool, const CLI::App& command,
                           const std::vector<JobFiles::Applied>& jobSettings,
                           const GlobalOptions& globals)
    : tool_(tool), command_(command), jobSettings_(jobSettings), globals_(globals) {}

const std::string& OptionReader::CommandName() const {
    return command_.get_name();
}

const CLI::Option* OptionReader::Effective(const OptionInfo& row) const {
    const std::string name = LongName(row);
    const CLI::Option* own = command_.get_option_no_throw(name);
    if (own == nullptr) {
        return nullptr;  // the command does not take it: a job file's top level is for others
    }
    const CLI::Option* wide = tool_.get_option_no_throw(name);
    for (const CLI::Option* option : {OnCommandLine(command_, own) ? own : nullptr,
                                      OnCommandLine(tool_, wide) ? wide : nullptr, own, wide}) {
        if (option != nullptr && option->count() > 0) {
            return option;
        }
    }
    return nullptr;
}

bool OptionReader::Flag(const OptionInfo& row, bool fallback) const {
    const CLI::Option* option = Effective(row);
    return option != nullptr ? option->as<bool>() : fallback;
}

std::optional<std::string> OptionReader::Text(const OptionInfo& row) const {
    const CLI::Option* option = Effective(row);
    return option != nullptr ? std::optional(option->as<std::string>()) : std::nullopt;
}

std::optional<std::vector<std::string>> OptionReader::List(const OptionInfo& row) const {
    const CLI::Option* option = Effective(row);
    return option != nullptr ? std::optional(option->as<std::vector<std::string>>()) : std::nullopt;
}

std::optional<std::string> OptionReader::Path(const OptionInfo& row) const {
    const CLI::Option* option = Effective(row);
    return option != nullptr
               ? std::optional(FromJobFileFolder(option->as<std::string>(), option, jobSettings_))
               : std::nullopt;
}

bool OptionReader::FromJobFile(const OptionInfo& row) const {
    const CLI::Option* option = Effective(row);
    return option != nullptr && std::any_of(jobSettings_.begin(), jobSettings_.end(),
                                            [option](const JobFiles::Applied& applied) {
                                                return applied.first == option;
                                            });
}

std::vector<std::string> OptionReader::CommandLineValues(const OptionInfo& row) const {
    const CLI::Option* option = tool_.get_option_no_throw(LongName(row));
    return OnCommandLine(tool_, option) ? option->results() : std::vector<std::string>();
}

std::optional<std::string> OptionReader::Operand(const char* name) const {
    const CLI::Option* option = command_.get_option(name);
    return option->count() > 0 ? std::optional(option->as<std::string>()) : std::nullopt;
}

std::vector<std::string> OptionReader::Operands(const char* name) const {
    return command_.get_option(name)->results();
}
