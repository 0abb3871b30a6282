#pragma once

#include <string>

#include "commandline/CommandTable.h"
#include "commands/ReportOptions.h"
#include "report/ReportAggregator.h"
#include "report/ReportFilter.h"
#include "station/WaitNotice.h"

class ConsoleUi;
class ReportOutput;
struct CliEnvironment;

// report: reads the boards' records from JSON Lines logs (--log FILE...) and the station
// database (--station-db URL), and writes the line's yield report as one HTML page (--html)
// and a CSV file with one row per board (--csv). A run counts once, however many of the
// sources hold it; the database's copy first. A log that cannot be read (2) or a database out of reach (3) stops it before
// any report is written; a report is replaced only once it is complete.
class ReportRun {
public:
    // The database --station-db names (`stationDb`), else VANTIX_STATION_DB.
    ReportRun(const ReportOptions& options, const std::string& stationDb,
              const CliEnvironment& environment, ConsoleUi& ui);

    int Run();

private:
    // The station database to read: --station-db, or VANTIX_STATION_DB when no log is named;
    // `refusal` when that is set and empty.
    std::string DatabaseUrl(std::string& refusal) const;
    // Empty when every source can be read and no report would overwrite a log or the other
    // report; otherwise the refusal.
    std::string CheckFiles() const;
    // Reads the database, then the logs, into the aggregator; `database` names the database
    // read, without its password.
    int ReadSources(ReportAggregator& aggregator, LineCounts& lines, std::string& database);
    int Write(const ReportFigures& figures, ReportOutput* html, ReportOutput* csv);
    void Summary(const ReportFigures& figures) const;
    bool Interrupted() const;
    // How a slow station database is waited for.
    WaitNotice Waiting() const;

    const ReportOptions& options_;
    const std::string& stationDb_;
    const CliEnvironment& environment_;
    ConsoleUi& ui_;
    ReportFilter filter_;
};

const CommandInfo& ReportCommand();
