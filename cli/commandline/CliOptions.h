#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "CpuType.h"
#include "MemoryRegion.h"
#include "commandline/CliCommand.h"
#include "commandline/GlobalOptions.h"
#include "commandline/OptionValues.h"

// Everything the command line asked for.
struct CliOptions : GlobalOptions {
    bool help = false;  // help for `command` (the tool when None)
    bool version = false;
    bool udevRule = false;

    CliCommand command = CliCommand::None;
    CliCommand helpTopic = CliCommand::None;  // help COMMAND
    std::optional<std::string> file;
    std::optional<CpuType> cpu;
    // --regions; absent means every listed region.
    std::optional<std::vector<MemoryRegion>> regions;
    bool json = false;
    // Runs the command board after board, waiting for Enter in between ("--repeat").
    bool repeat = false;
    bool strict = false;
    // --expect-sha256: the SHA-256 of the only image to program, in lower case, and whether
    // a job file pinned it (the refusal names where the expectation came from).
    std::optional<std::string> expectSha256;
    bool expectFromJobFile = false;
    bool eraseAllBoot = true;
    bool resetAfter = false;
    // write, write-verify: compare first, then erase and write only the differing pages.
    bool onlyChanged = false;
    // A serial number per board (write, write-verify; verify checks one); checked against
    // the image before the pod is touched.
    std::optional<SerialAddress> serialAt;
    int serialWords = 1;                       // --serial-words 1|2
    std::optional<std::string> serialCounter;  // --serial-counter FILE
    std::optional<std::uint64_t> serialStart;  // --serial-start N
    std::optional<std::uint64_t> serialValue;  // --serial-value N
    bool serialOverwrite = false;
    std::optional<std::string> serialSeries;   // --serial-series NAME, of the station database

    // station-db: what to do ("init", "series", "grant", "release", "withdraw", "releases"),
    // the series named and its first number; release takes `file` and `cpu`, withdraw the
    // image's SHA-256 (lower case).
    std::string stationDbAction;
    std::optional<std::string> seriesName;
    std::optional<std::uint64_t> seriesStart;  // --start N
    std::optional<std::string> releaseSha256;
    // station-db grant ROLE LOGIN: station, reader or admin, and the login.
    std::string grantRole;
    std::string grantLogin;

    // report: the logs it reads (--log FILE..., in the order given), the files it writes,
    // and the runs it takes (--since, --until: microseconds since 1970 UTC; --image: the image's
    // SHA-256 in lower case).
    std::vector<std::string> reportLogs;
    std::string reportHtml;
    std::string reportCsv;
    std::optional<std::int64_t> since;
    std::optional<std::int64_t> until;
    std::optional<std::string> imageSha256;

    // --pods: the command on several pods at once, a board on each, by serial number; an
    // empty list means every attached pod ("--pods all").
    std::optional<std::vector<std::string>> pods;
};
