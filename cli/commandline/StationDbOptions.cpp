#include "commandline/StationDbOptions.h"

#include <algorithm>

#include "commandline/CommandTable.h"
#include "commandline/OptionTable.h"
#include "commandline/OptionValues.h"
#include "commandline/SerialOptions.h"

namespace {

// A count option's value, into `number`; the refusal when it is none.
std::string ReadNumber(const char* name, const std::string& text, std::uint64_t& number) {
    const OptionInfo& row = *FindCliOption(name);
    const std::optional<std::uint64_t> read = ReadCount(row, text);
    if (!read) {
        return Refusal(row, text);
    }
    number = *read;
    return {};
}

// grant's role and login, into `options`.
std::string ReadGrant(const StationDbCommandTexts& given, CliOptions& options) {
    if (!given.name || !given.login) {
        return "'station-db grant' needs a role (station, reader or admin) and a login";
    }
    const auto& words = StationDbRoleWords();
    if (std::find(words.begin(), words.end(), *given.name) == words.end()) {
        return "'station-db grant' grants the role station, reader or admin, not '" +
               *given.name + "'";
    }
    options.grantRole = *given.name;
    options.grantLogin = *given.login;
    return {};
}

}  // namespace

std::string ReadStationDbOptions(const StationDbCommandTexts& given, CliOptions& options) {
    const std::string actions = "init, series or grant";
    if (!given.action) {
        return "'station-db' needs " + actions;
    }
    options.stationDbAction = *given.action;
    const auto& known = StationDbActions();
    if (std::find(known.begin(), known.end(), *given.action) == known.end()) {
        return "'station-db' does " + actions + ", not '" + *given.action + "'";
    }
    const bool creates = *given.action == "series" && given.name.has_value();
    const std::optional<std::string>& extra = *given.action == "init" ? given.name : given.login;
    if (*given.action != "grant" && extra) {
        return "unexpected argument '" + *extra + "' for 'station-db " + *given.action + "'";
    }
    for (const auto& [name, value] : {std::pair{"--start", &given.start},
                                      std::pair{"--serial-words", &given.words}}) {
        if (*value && !creates) {
            return std::string(name) + " belongs to 'station-db series NAME', which creates a series";
        }
    }
    if (*given.action == "grant") {
        return ReadGrant(given, options);
    }
    if (!creates) {
        return {};
    }
    options.seriesName = given.name;
    if (!given.start) {
        return "'station-db series " + *given.name + "' needs --start N, its first number";
    }
    std::uint64_t words = 1;
    std::uint64_t start = 0;
    for (const std::string& refusal :
         {given.words ? ReadNumber("serial-words", *given.words, words) : std::string(),
          ReadNumber("start", *given.start, start)}) {
        if (!refusal.empty()) {
            return refusal;
        }
    }
    options.serialWords = static_cast<int>(words);
    if (start > LargestSerial(options.serialWords)) {
        return SerialTooLargeText(start, options.serialWords);
    }
    options.seriesStart = start;
    return {};
}
