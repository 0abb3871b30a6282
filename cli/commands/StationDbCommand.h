#pragma once

#include <ostream>
#include <string>

#include "commandline/CommandTable.h"
#include "commands/StationDbOptions.h"
#include "stationdb/StationDb.h"

class ConsoleUi;
struct CliEnvironment;

// station-db: sets up the line's station database. "init" creates its tables and the roles of
// its logins, or moves older tables to this version; "series NAME --start N" creates a serial
// series, and "series" alone lists them on stdout, a line each: the name, "next N" (or "used
// up") and the width; "grant ROLE LOGIN" gives a login the role of a station, a reader or an
// administrator. "release", "withdraw" and "releases" keep the images each series may
// program. Confirmations go to stderr.
class StationDbRun {
public:
    // The database --station-db names (`stationDb`), else VANTIX_STATION_DB.
    StationDbRun(const StationDbOptions& options, const std::string& stationDb,
                 const CliEnvironment& environment, ConsoleUi& ui, std::ostream& out);

    int Run();

private:
    int Init(StationDb& database);
    int Grant(StationDb& database);
    int CreateSeries(StationDb& database);
    int ListSeries(StationDb& database);
    int Release(StationDb& database);
    int Withdraw(StationDb& database);
    int ListReleases(StationDb& database);
    // Checks what was printed on stdout: 2 after reporting when it did not arrive.
    int Printed();
    int Fail(const StationDbOutcome& outcome);

    const StationDbOptions& options_;
    const std::string& stationDb_;
    const CliEnvironment& environment_;
    ConsoleUi& ui_;
    std::ostream& out_;
};

const CommandInfo& StationDbCommand();
