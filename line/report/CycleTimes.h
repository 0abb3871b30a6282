#pragma once

#include <map>
#include <string>
#include <vector>

#include "report/ReportFigures.h"

// The seconds of each command's runs, whatever their outcome: median, 95th percentile and a
// histogram. The bins span the fastest run to the 99th percentile, so that one run left
// waiting for an hour does not squeeze all the others into one bin; the last bin holds the
// rest.
class CycleTimes {
public:
    static constexpr int kBins = 20;

    void Add(const std::string& command, double seconds) { seconds_[command].push_back(seconds); }
    void Finish(ReportFigures& figures);

    // The nearest-rank percentile of sorted values: the smallest value that at least `share`
    // of them do not exceed (share 0.5: the median, the lower of two middle values).
    static double NearestRank(const std::vector<double>& sorted, double share);

private:
    std::map<std::string, std::vector<double>> seconds_;
};
