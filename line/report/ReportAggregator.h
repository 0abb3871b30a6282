#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "report/BoardTally.h"
#include "report/CycleTimes.h"
#include "report/ReportFigures.h"
#include "report/ReportRecord.h"
#include "report/SerialUse.h"
#include "stationdb/ReleaseTable.h"

// Works out a report's figures from records handed over one at a time, in any order: what
// it keeps grows with the boards and the runs' seconds, never with the records' texts.
class ReportAggregator {
public:
    // `now`: when the report is made (seconds since 1970 UTC); a record from after it, or
    // from before 2000, has a clock that was wrong.
    explicit ReportAggregator(std::int64_t now) : now_(now) {}

    // The images released on the line, from the station database, before the first record.
    void SetReleases(std::vector<ReleaseInfo> releases);
    void Add(const ReportRecord& record);
    // The figures; the aggregator is spent.
    ReportFigures Finish();

private:
    struct GroupRuns {
        std::uint64_t runs = 0;
        std::uint64_t passed = 0;
        std::vector<double> seconds;
    };

    void AddFailure(const ReportRecord& record);
    // A run that programmed a board with an image that was not released at its time.
    bool Unreleased(const ReportRecord& record) const;
    void FinishPeriods();
    static std::vector<ReportFigures::Group> Groups(std::map<std::string, GroupRuns>& runs,
                                                    std::uint64_t& left);
    void FinishFailures();

    // The time is one no station's clock could rightly have given.
    bool OddTime(std::int64_t time) const;

    std::int64_t now_;
    ReportFigures figures_;
    std::uint64_t sequence_ = 0;
    BoardTally boards_;
    CycleTimes cycleTimes_;
    SerialUse serials_;
    std::unordered_map<std::string, ReportFigures::Image> images_;
    std::optional<std::vector<ReleaseInfo>> releases_;
    std::map<std::string, GroupRuns> stations_;
    std::map<std::string, GroupRuns> pods_;
    std::unordered_map<std::string, std::uint64_t> failureTexts_;
    // The latest failed runs with their place in the reading order, trimmed to the cap now
    // and then.
    std::vector<std::pair<std::uint64_t, ReportFigures::FailedRun>> lastFailures_;
    std::map<std::int64_t, ReportFigures::Period> hours_;
};
