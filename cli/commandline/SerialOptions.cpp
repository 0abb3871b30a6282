#include "commandline/SerialOptions.h"

#include "OptionTable.h"
#include "commandline/CliOptionRows.h"
#include "commandline/CliOptions.h"
#include "commandline/OptionReader.h"
#include "commandline/OptionValues.h"

namespace {

// The serial options that reach a command, as given.
struct SerialOptionTexts {
    std::optional<std::string> at;
    std::optional<std::string> words;
    std::optional<std::string> counter;
    std::optional<std::string> start;
    std::optional<std::string> value;
    bool overwrite = false;
    std::optional<std::string> series;
};

// Each option with its value, when it is given but has no --serial-at to go with.
std::string NeedsSerialAt(const SerialOptionTexts& given) {
    const std::pair<const char*, const std::optional<std::string>*> dependent[] = {
        {"--serial-words", &given.words},
        {"--serial-counter", &given.counter},
        {"--serial-start", &given.start},
        {"--serial-value", &given.value},
        {"--serial-series", &given.series}};
    for (const auto& [name, value] : dependent) {
        if (*value) {
            return std::string(name) + " needs --serial-at REGION:ADDRESS";
        }
    }
    return given.overwrite ? "--serial-overwrite needs --serial-at REGION:ADDRESS" : "";
}

}  // namespace

std::uint64_t LargestSerial(int words) {
    return words == 1 ? 0xFFFFu : 0xFFFFFFFFu;
}

std::string SerialTooLargeText(std::uint64_t number, int words) {
    return "serial number " + std::to_string(number) + " does not fit " +
           std::to_string(16 * words) + " bits (--serial-words " + std::to_string(words) + ")";
}

namespace {

std::string ReadGiven(const SerialOptionTexts& given, CliOptions& options) {
    options.serialOverwrite = given.overwrite;
    if (!given.at) {
        return NeedsSerialAt(given);
    }
    options.serialAt = ReadSerialAddress(*given.at);
    if (!options.serialAt) {
        return Refusal(kSerialAtRow, *given.at);
    }
    if (given.words) {
        const std::optional<std::uint64_t> words = ReadCount(kSerialWordsRow, *given.words);
        if (!words) {
            return Refusal(kSerialWordsRow, *given.words);
        }
        options.serialWords = static_cast<int>(*words);
    }
    // Where the numbers come from: a check of one board, a shared counter or this run's count.
    const bool verify = options.command == CliCommand::Verify;
    const std::optional<std::string>& number = verify ? given.value : given.start;
    if (verify && !number) {
        return "--serial-at needs --serial-value N, the number the board holds";
    }
    if (!verify && given.series) {
        // The station database's series: it checks the width against its own when opened.
        if (given.counter || number) {
            return given.counter ? "--serial-counter and --serial-series exclude each other"
                                 : "--serial-series and --serial-start exclude each other";
        }
        options.serialSeries = given.series;
        return {};
    }
    if (!verify && given.counter.has_value() == number.has_value()) {
        return number ? "--serial-counter and --serial-start exclude each other"
                      : "--serial-at needs --serial-counter FILE or --serial-start N";
    }
    // verify checks the number it is given; it never takes one.
    options.serialCounter = verify ? std::nullopt : given.counter;
    if (!number) {
        return {};
    }
    const OptionInfo& row = verify ? kSerialValueRow : kSerialStartRow;
    const std::optional<std::uint64_t> read = ReadCount(row, *number);
    if (!read) {
        return Refusal(row, *number);
    }
    if (*read > LargestSerial(options.serialWords)) {
        return SerialTooLargeText(*read, options.serialWords);
    }
    (verify ? options.serialValue : options.serialStart) = read;
    return {};
}

}  // namespace

std::string ReadSerialOptions(const OptionReader& reader, CliOptions& options) {
    return ReadGiven(
        {reader.Text(kSerialAtRow), reader.Text(kSerialWordsRow), reader.Path(kSerialCounterRow),
         reader.Text(kSerialStartRow), reader.Text(kSerialValueRow),
         reader.Flag(kSerialOverwriteRow, false), reader.Text(kSerialSeriesRow)},
        options);
}
