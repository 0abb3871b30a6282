#include "commands/StationDbOptions.h"

#include <algorithm>
#include <limits>

#include "OptionTable.h"
#include "commandline/CommandTable.h"
#include "commandline/ImageFileOptions.h"
#include "commandline/OptionReader.h"
#include "commandline/OptionValues.h"
#include "commandline/SerialOptions.h"

namespace {

constexpr std::uint64_t kAny = std::numeric_limits<std::uint64_t>::max();

}  // namespace

constexpr OptionInfo kStartRow = {
    Program::Cli, nullptr, "start", false, ValueKind::Count, "N",
    "the first number of a new serial series", 0, kAny,
    "--start takes a decimal number, not '%s'"};

namespace {

// What "station-db" was given, as typed.
struct StationDbCommandTexts {
    std::optional<std::string> action;  // init, series, grant, release, withdraw, releases
    std::optional<std::string> name;    // the series, or the role grant gives
    std::optional<std::string> login;   // the login grant gives it to
    std::optional<std::string> start;
    std::optional<std::string> words;
    std::optional<std::string> image;  // release: the file; withdraw: its SHA-256
    std::optional<std::string> cpu;    // release
};

// A count option's value, into `number`; the refusal when it is none.
std::string ReadNumber(const OptionInfo& row, const std::string& text, std::uint64_t& number) {
    const std::optional<std::uint64_t> read = ReadCount(row, text);
    if (!read) {
        return Refusal(row, text);
    }
    number = *read;
    return {};
}

bool IsReleaseAction(const std::string& action) {
    return action == "release" || action == "withdraw" || action == "releases";
}

// release SERIES FILE --cpu CPU, withdraw SERIES SHA256, releases [SERIES].
std::string ReadReleaseOptions(const StationDbCommandTexts& given, StationDbOptions& options) {
    const std::string& action = *given.action;
    const std::string command = "'station-db " + action + "'";
    options.seriesName = given.name;
    if (action == "releases") {
        return given.image ? "unexpected argument '" + *given.image + "' for " + command
                           : std::string();
    }
    const char* wanted = action == "release" ? " SERIES FILE --cpu CPU" : " SERIES SHA256";
    if (!given.name || !given.image) {
        return command + " needs" + wanted;
    }
    if (action == "withdraw") {
        options.releaseSha256 = ReadSha256(*given.image);
        if (!options.releaseSha256) {
            return command + " wants the 64 hex digits of a SHA-256, not '" + *given.image + "'";
        }
        // Without --cpu, the image is withdrawn for every CPU it is released for.
        if (given.cpu) {
            options.cpu = CpuFromName(*given.cpu);
            return options.cpu ? std::string() : Refusal(kCpuRow, *given.cpu);
        }
        return {};
    }
    options.file = given.image;
    if (!given.cpu) {
        return command + " needs --cpu CPU (" + kCpuChoices + ")";
    }
    options.cpu = CpuFromName(*given.cpu);
    if (!options.cpu) {
        return Refusal(kCpuRow, *given.cpu);
    }
    return *options.cpu == CpuType::DSP56F801
               ? "a DSP56F801 image is never programmed, so it is not released"
               : std::string();
}

// grant's role and login, into `options`.
std::string ReadGrant(const StationDbCommandTexts& given, StationDbOptions& options) {
    if (!given.name || !given.login) {
        return "'station-db grant' needs a role (station, reader or admin) and a login";
    }
    if (std::find(kStationDbRoleWords.begin(), kStationDbRoleWords.end(), *given.name) ==
        kStationDbRoleWords.end()) {
        return "'station-db grant' grants the role station, reader or admin, not '" +
               *given.name + "'";
    }
    const std::string& login = *given.login;
    if (login.empty()) {
        return "'station-db grant' grants a role to a login, and the login's name is empty";
    }
    // The server's own roles and the line's roles are no station's login.
    if (login.rfind("pg_", 0) == 0 || login.rfind("vantix_", 0) == 0) {
        return "'station-db grant' grants a role to a login, and '" + login +
               "' is a role of the server or the line, not a login";
    }
    options.grantRole = *given.name;
    options.grantLogin = login;
    return {};
}

}  // namespace

namespace {

std::string ReadGiven(const StationDbCommandTexts& given, StationDbOptions& options) {
    const std::string actions = "init, series, grant, release, withdraw or releases";
    if (!given.action) {
        return "'station-db' needs " + actions;
    }
    options.action = *given.action;
    if (std::find(kStationDbActions.begin(), kStationDbActions.end(), *given.action) ==
        kStationDbActions.end()) {
        return "'station-db' does " + actions + ", not '" + *given.action + "'";
    }
    if (given.cpu && *given.action != "release" && *given.action != "withdraw") {
        return "--cpu belongs to 'station-db release SERIES FILE --cpu CPU'";
    }
    if (IsReleaseAction(*given.action) && (given.start || given.words)) {
        return std::string(given.start ? "--start" : "--serial-words") +
               " belongs to 'station-db series NAME', which creates a series";
    }
    if (IsReleaseAction(*given.action)) {
        return ReadReleaseOptions(given, options);
    }
    if (given.image) {
        return "unexpected argument '" + *given.image + "' for 'station-db " + *given.action + "'";
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
         {given.words ? ReadNumber(kSerialWordsRow, *given.words, words) : std::string(),
          ReadNumber(kStartRow, *given.start, start)}) {
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

}  // namespace

std::string ReadStationDbOptions(const OptionReader& reader, StationDbOptions& options) {
    // The third operand is grant's login, or release's file and withdraw's SHA-256.
    const std::optional<std::string> action = reader.Operand("ACTION");
    const bool grant = action && *action == "grant";
    return ReadGiven(
        {action, reader.Operand("NAME"), grant ? reader.Operand("THIRD") : std::nullopt,
         reader.Text(kStartRow), reader.Text(kSerialWordsRow),
         grant ? std::nullopt : reader.Operand("THIRD"), reader.Text(kCpuRow)},
        options);
}
