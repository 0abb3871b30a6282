#include "commandline/StationDbOptions.h"

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

}  // namespace

std::string ReadStationDbOptions(const StationDbCommandTexts& given, CliOptions& options) {
    if (!given.action) {
        return "'station-db' needs init or series";
    }
    options.stationDbAction = *given.action;
    if (*given.action != "init" && *given.action != "series") {
        return "'station-db' does init or series, not '" + *given.action + "'";
    }
    const bool creates = *given.action == "series" && given.name.has_value();
    if (*given.action == "init" && given.name) {
        return "unexpected argument '" + *given.name + "' for 'station-db init'";
    }
    for (const auto& [name, value] : {std::pair{"--start", &given.start},
                                      std::pair{"--serial-words", &given.words}}) {
        if (*value && !creates) {
            return std::string(name) + " belongs to 'station-db series NAME', which creates a series";
        }
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
