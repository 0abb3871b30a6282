#include "commandline/SerialOptions.h"

#include <algorithm>
#include <limits>

#include "OptionTable.h"
#include "commandline/OptionReader.h"
#include "commandline/OptionValues.h"

namespace {

constexpr std::uint64_t kAny = std::numeric_limits<std::uint64_t>::max();

}  // namespace

constexpr OptionInfo kSerialAtRow = {
    Program::Cli, nullptr, "serial-at", false, ValueKind::SerialAddress, "REGION:ADDRESS",
    "write each board's serial number into the word at ADDRESS\n"
    "(hex) of REGION, patched into the loaded image (the file is\n"
    "not changed); refused when a record of the file fills it",
    0, 0,
    "--serial-at wants REGION:ADDRESS with the address in hex, for example PFLASH:7FF0, "
    "not '%s'"};

constexpr OptionInfo kSerialWordsRow = {
    Program::Cli, nullptr, "serial-words", false, ValueKind::Count, "1|2",
    "width of the serial number: 1 word (default) or 2, low word\nfirst", 1, 2,
    "--serial-words takes 1 or 2, not '%s'"};

constexpr OptionInfo kSerialOverwriteRow = {
    Program::Cli, nullptr, "serial-overwrite", true, ValueKind::Flag, nullptr,
    "let the serial number replace words the file fills", 0, 0, nullptr};

constexpr OptionInfo kSerialCounterRow = {
    Program::Cli, nullptr, "serial-counter", false, ValueKind::Path, "FILE",
    "take each number from FILE, a text file holding the next\n"
    "number, which stations may share; taken under a lock and\n"
    "written back before the board is touched, never reused",
    0, 0, nullptr};

constexpr OptionInfo kSerialSeriesRow = {
    Program::Cli, nullptr, "serial-series", false, ValueKind::Text, "NAME",
    "take each number from the serial series NAME of --station-db\n"
    "(see station-db series), committed there with the run's UUID\n"
    "before the board is touched, never reused",
    0, 0, nullptr};

constexpr OptionInfo kSerialStartRow = {
    Program::Cli, nullptr, "serial-start", false, ValueKind::Count, "N",
    "number the boards of this run N, N+1, ... (--repeat)", 0, kAny,
    "--serial-start takes a decimal number, not '%s'"};

constexpr OptionInfo kSerialValueRow = {
    Program::Cli, nullptr, "serial-value", false, ValueKind::Count, "N",
    "the serial number the board should hold at --serial-at", 0, kAny,
    "--serial-value takes a decimal number, not '%s'"};

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

SerialOptionTexts TextsOf(const OptionReader& reader) {
    return {reader.Text(kSerialAtRow),     reader.Text(kSerialWordsRow),
            reader.Path(kSerialCounterRow), reader.Text(kSerialStartRow),
            reader.Text(kSerialValueRow),   reader.Flag(kSerialOverwriteRow, false),
            reader.Text(kSerialSeriesRow)};
}

// Where the number goes; none without --serial-at, which every other serial option needs.
std::string ReadPlace(const SerialOptionTexts& given, std::optional<SerialPlace>& place) {
    if (!given.at) {
        return NeedsSerialAt(given);
    }
    SerialPlace read;
    read.overwrite = given.overwrite;
    const std::optional<SerialAddress> at = ReadSerialAddress(*given.at);
    if (!at) {
        return Refusal(kSerialAtRow, *given.at);
    }
    read.at = *at;
    if (given.words) {
        const std::optional<std::uint64_t> words = ReadCount(kSerialWordsRow, *given.words);
        if (!words) {
            return Refusal(kSerialWordsRow, *given.words);
        }
        read.words = static_cast<int>(*words);
    }
    place = read;
    return {};
}

// A number given for the place, which must fit its words.
std::string ReadNumber(const OptionInfo& row, const std::string& text, int words,
                       std::uint64_t& number) {
    const std::optional<std::uint64_t> read = ReadCount(row, text);
    if (!read) {
        return Refusal(row, text);
    }
    if (*read > LargestSerial(words)) {
        return SerialTooLargeText(*read, words);
    }
    number = *read;
    return {};
}

// Where the numbers come from: the station database's series, a shared counter or this
// run's count, one of them.
std::string ReadSource(const SerialOptionTexts& given, SerialNumbering& numbering) {
    if (given.series) {
        // The station database's series: it checks the width against its own when opened.
        if (given.counter || given.start) {
            return given.counter ? "--serial-counter and --serial-series exclude each other"
                                 : "--serial-series and --serial-start exclude each other";
        }
        numbering.series = given.series;
        return {};
    }
    if (given.counter.has_value() == given.start.has_value()) {
        return given.start ? "--serial-counter and --serial-start exclude each other"
                           : "--serial-at needs --serial-counter FILE or --serial-start N";
    }
    numbering.counter = given.counter;
    if (!given.start) {
        return {};
    }
    std::uint64_t start = 0;
    const std::string refusal =
        ReadNumber(kSerialStartRow, *given.start, numbering.place.words, start);
    numbering.start = start;
    return refusal;
}

}  // namespace

std::string ReadSerialNumbering(const OptionReader& reader,
                                std::optional<SerialNumbering>& numbering) {
    const SerialOptionTexts given = TextsOf(reader);
    std::optional<SerialPlace> place;
    if (std::string refusal = ReadPlace(given, place); !refusal.empty() || !place) {
        return refusal;
    }
    SerialNumbering read{*place, std::nullopt, std::nullopt, std::nullopt};
    if (std::string refusal = ReadSource(given, read); !refusal.empty()) {
        return refusal;
    }
    numbering = read;
    return {};
}

std::string ReadSerialCheck(const OptionReader& reader, std::optional<SerialCheck>& check) {
    const SerialOptionTexts given = TextsOf(reader);
    std::optional<SerialPlace> place;
    if (std::string refusal = ReadPlace(given, place); !refusal.empty() || !place) {
        return refusal;
    }
    // verify checks the number it is given; it never takes one.
    if (!given.value) {
        return "--serial-at needs --serial-value N, the number the board holds";
    }
    SerialCheck read{*place, 0};
    if (std::string refusal = ReadNumber(kSerialValueRow, *given.value, place->words, read.value);
        !refusal.empty()) {
        return refusal;
    }
    check = read;
    return {};
}

std::string PodSerialRefusal(std::string_view command, std::string_view option) {
    const std::string_view name = option.substr(std::min(option.find_first_not_of('-'), option.size()));
    if (name.rfind("serial-", 0) != 0) {
        return {};
    }
    return "'" + std::string(command) + "' takes no serial number (" + std::string(option) +
           "): the pod programs boards on its own, with one image";
}
