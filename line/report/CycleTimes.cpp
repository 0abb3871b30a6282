#include "report/CycleTimes.h"

#include <algorithm>
#include <cmath>

double CycleTimes::NearestRank(const std::vector<double>& sorted, double share) {
    if (sorted.empty()) {
        return 0.0;
    }
    const auto rank =
        static_cast<std::size_t>(std::ceil(share * static_cast<double>(sorted.size())));
    return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

void CycleTimes::Finish(ReportFigures& figures) {
    for (auto& [command, values] : seconds_) {
        std::sort(values.begin(), values.end());
        ReportFigures::CycleTime row;
        row.command = command;
        row.runs = values.size();
        row.median = NearestRank(values, 0.5);
        row.p95 = NearestRank(values, 0.95);
        row.min = values.front();
        row.max = values.back();
        // In whole milliseconds, as the records hold them, so that each bin's edges are exact.
        const auto ms = [](double seconds) { return std::llround(seconds * 1000.0); };
        const long long low = ms(row.min);
        const long long width = (ms(NearestRank(values, 0.99)) - low + kBins - 1) / kBins;
        row.binWidth = static_cast<double>(width) / 1000.0;
        row.bins.assign(width > 0 ? kBins : 1, 0);
        for (const double value : values) {
            const long long bin = width > 0 ? (ms(value) - low) / width : 0;
            ++row.bins[std::min<std::size_t>(static_cast<std::size_t>(bin), row.bins.size() - 1)];
        }
        figures.cycleTimes.push_back(std::move(row));
    }
    std::stable_sort(figures.cycleTimes.begin(), figures.cycleTimes.end(),
                     [](const auto& a, const auto& b) { return a.runs > b.runs; });
    if (figures.cycleTimes.size() > ReportFigures::kCommands) {
        figures.commandsLeft = figures.cycleTimes.size() - ReportFigures::kCommands;
        figures.cycleTimes.resize(ReportFigures::kCommands);
    }
    seconds_.clear();
}
