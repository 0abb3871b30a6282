#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "CpuType.h"
#include "OptionTable.h"
#include "commandline/CommandTable.h"

// What station-db does (its first operand), in the order its help lists them.
inline constexpr std::array<std::string_view, 6> kStationDbActions = {
    "init", "series", "grant", "release", "withdraw", "releases"};
// The roles station-db grant gives a login: vantix_station, vantix_reader, vantix_admin.
inline constexpr std::array<std::string_view, 3> kStationDbRoleWords = {"station", "reader",
                                                                        "admin"};

class OptionReader;

// What station-db is to do: its action ("init", "series", "grant", "release", "withdraw",
// "releases") with what that takes.
struct StationDbOptions : CommandOptions {
    std::string action;
    // series: the series named and its first number, and the width of its numbers; release,
    // withdraw, releases: the series.
    std::optional<std::string> seriesName;
    std::optional<std::uint64_t> seriesStart;  // --start N
    int serialWords = 1;                       // --serial-words 1|2
    // release: the image's file and CPU; withdraw: the image's SHA-256 (lower case), and the
    // CPU alone it is withdrawn for.
    std::optional<std::string> file;
    std::optional<CpuType> cpu;
    std::optional<std::string> releaseSha256;
    // grant ROLE LOGIN: station, reader or admin, and the login.
    std::string grantRole;
    std::string grantLogin;
};

// Reads station-db's action, its operands, --start and --serial-words and checks that they go
// together: init takes nothing more; series lists the series without a name and creates one
// with a name and --start, whose number fits the width; grant takes a role (station, reader
// or admin) and a login; release takes a series, a file and --cpu; withdraw a series and a
// SHA-256; releases a series or none. The first refusal, or empty when they are sound.
std::string ReadStationDbOptions(const OptionReader& reader, StationDbOptions& options);

// station-db's own row.
extern const OptionInfo kStartRow;
