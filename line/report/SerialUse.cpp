#include "report/SerialUse.h"

#include <algorithm>

namespace {

void SortUnique(std::vector<std::uint64_t>& numbers) {
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
}

}  // namespace

void SerialUse::Add(const ReportRecord& record) {
    if (!record.serial || !record.Programs()) {
        return;  // verify only checks a number given before
    }
    const std::string name = record.series     ? *record.series
                             : record.serialAt ? "at " + *record.serialAt
                                               : std::string("(no series)");
    Numbers& numbers = series_[name];
    numbers.used.push_back(*record.serial);
    if (!record.Passed()) {
        numbers.failed.push_back(*record.serial);
    }
}

void SerialUse::Finish(ReportFigures& figures) {
    for (auto& [name, numbers] : series_) {
        SortUnique(numbers.used);
        SortUnique(numbers.failed);
        ReportFigures::Series row;
        row.name = name;
        row.first = numbers.used.front();
        row.last = numbers.used.back();
        row.used = numbers.used.size();
        row.failed = numbers.failed.size();
        auto& ranges = row.failedRanges;
        for (std::size_t i = 0; i < numbers.failed.size(); ++i) {
            const std::uint64_t number = numbers.failed[i];
            if (i > 0 && numbers.failed[i - 1] + 1 == number) {
                if (row.failedRangesLeft == 0) {
                    ranges.back().second = number;
                }
            } else if (ranges.size() < ReportFigures::kFailedRanges) {
                ranges.emplace_back(number, number);
            } else {
                ++row.failedRangesLeft;
            }
        }
        figures.series.push_back(std::move(row));
    }
    // The series with the most numbers, when there are more than the page lists.
    std::stable_sort(figures.series.begin(), figures.series.end(),
                     [](const auto& a, const auto& b) { return a.used > b.used; });
    if (figures.series.size() > ReportFigures::kSeries) {
        figures.seriesLeft = figures.series.size() - ReportFigures::kSeries;
        figures.series.resize(ReportFigures::kSeries);
    }
    series_.clear();
}
