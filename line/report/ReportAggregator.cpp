#include "report/ReportAggregator.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr std::int64_t kHour = 3600;
// 2000-01-01T00:00:00Z: older than any record of this program.
constexpr std::int64_t kEarliestTime = 946684800;
// A station's clock may run this far ahead of the report's.
constexpr std::int64_t kClockSkew = 24 * kHour;
// A chart of more periods than this gets longer ones.
constexpr std::int64_t kMostPeriods = 400;

std::string FileName(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::int64_t HourOf(std::int64_t time) {
    return (time >= 0 ? time : time - kHour + 1) / kHour;
}

// Hours a period lasts: the first of these that keeps the chart within its periods, or
// whole four-week spans beyond them.
std::int64_t PeriodHours(std::int64_t hours) {
    for (const std::int64_t length : {1, 2, 3, 4, 6, 12, 24, 48, 168, 336, 672}) {
        if (hours <= kMostPeriods * length) {
            return length;
        }
    }
    return (hours / kMostPeriods / 672 + 1) * 672;
}

// Newer first: later time, then later in the reading order.
template <typename Entry>
bool Newer(const Entry& a, const Entry& b) {
    return a.second.time != b.second.time ? a.second.time > b.second.time : a.first > b.first;
}

}  // namespace

void ReportAggregator::SetReleases(std::vector<ReleaseInfo> releases) {
    figures_.unreleasedRuns = 0;
    releases_ = std::move(releases);
}

bool ReportAggregator::Unreleased(const ReportRecord& record) const {
    // A run whose image a check admitted was released when it started, whatever happened
    // to the release while its board was programmed.
    if (!releases_ || !record.sha256 || !record.Programs() || !record.Started() ||
        record.release) {
        return false;
    }
    // The release in force when the board began: a withdrawal during the board does not
    // make it unreleased, nor does a release during it make it released.
    const std::int64_t ended = record.time * 1000000 + record.microseconds;
    const std::int64_t at = ended - std::llround(record.seconds * 1e6);
    return std::none_of(releases_->begin(), releases_->end(), [&](const ReleaseInfo& release) {
        return release.sha256 == *record.sha256 && (!record.cpu || release.cpu == *record.cpu) &&
               (!record.series || release.series == *record.series) &&
               release.releasedMicros <= at &&
               (!release.withdrawnMicros || at < *release.withdrawnMicros);
    });
}

void ReportAggregator::Add(const ReportRecord& record) {
    const std::uint64_t sequence = sequence_++;
    ++figures_.runs;
    figures_.passed += record.Passed() ? 1 : 0;
    figures_.interrupted += record.Interrupted() ? 1 : 0;
    figures_.unknown += record.Unknown() ? 1 : 0;
    figures_.failed += !record.Passed() && !record.Interrupted() && !record.Unknown() ? 1 : 0;
    figures_.recordsNotKept += record.RecordNotKept() ? 1 : 0;
    figures_.refusedBeforePod += record.Started() ? 0 : 1;
    figures_.firstTime = std::min(figures_.firstTime.value_or(record.time), record.time);
    figures_.lastTime = std::max(figures_.lastTime.value_or(record.time), record.time);
    if (record.sha256) {
        ReportFigures::Image& image = images_[*record.sha256];
        image.sha256 = *record.sha256;
        image.file = record.file ? FileName(*record.file) : image.file;
        ++image.runs;
        if (Unreleased(record)) {
            ++image.unreleasedRuns;
            ++*figures_.unreleasedRuns;
        }
    }
    // A run that never started has no cycle time: its seconds are the refusal's.
    for (auto* group : {&stations_[record.station], &pods_[record.pod.value_or("")]}) {
        ++group->runs;
        group->passed += record.Passed() ? 1 : 0;
        if (record.Started()) {
            group->seconds.push_back(record.seconds);
        }
    }
    if (record.Started()) {
        cycleTimes_.Add(record.command, record.seconds);
    }
    // A run that never reached its board says nothing of the board: no yield counts it.
    if (record.OnBoard() && record.Started()) {
        boards_.Add(record, sequence);
    }
    serials_.Add(record);
    if (OddTime(record.time)) {
        // Counted as any other, but a chart over decades would show nothing.
        ++figures_.oddTimes;
        figures_.earliestOddTime = std::min(figures_.earliestOddTime.value_or(record.time), record.time);
        figures_.latestOddTime = std::max(figures_.latestOddTime.value_or(record.time), record.time);
    } else if (record.Programs() && record.Started()) {
        ReportFigures::Period& hour = hours_[HourOf(record.time)];
        ++(record.Passed() ? hour.passed : hour.failed);
    }
    if (!record.Passed()) {
        AddFailure(record);
    }
}

bool ReportAggregator::OddTime(std::int64_t time) const {
    return time < kEarliestTime || time > now_ + kClockSkew;
}

void ReportAggregator::AddFailure(const ReportRecord& record) {
    ++figures_.failedRuns;
    ++failureTexts_[record.status];
    if (!record.OnBoard() || !record.Started()) {
        return;
    }
    ++figures_.failedBoardRuns;
    lastFailures_.emplace_back(
        sequence_, ReportFigures::FailedRun{record.time, record.station, record.pod, record.board,
                                            record.serial, record.command, record.status});
    if (lastFailures_.size() >= 2 * ReportFigures::kFailedRunRows) {
        std::nth_element(lastFailures_.begin(),
                         lastFailures_.begin() + ReportFigures::kFailedRunRows, lastFailures_.end(),
                         Newer<decltype(lastFailures_)::value_type>);
        lastFailures_.resize(ReportFigures::kFailedRunRows);
    }
}

ReportFigures ReportAggregator::Finish() {
    boards_.Finish(figures_);
    cycleTimes_.Finish(figures_);
    serials_.Finish(figures_);
    for (auto& [sha256, image] : images_) {
        for (const ReleaseInfo& release : releases_.value_or(std::vector<ReleaseInfo>{})) {
            if (release.sha256 == sha256) {
                image.releases.push_back(release.series + ", " + release.cpu + ", from " +
                                         release.releasedAt +
                                         (release.withdrawnAt ? " to " + *release.withdrawnAt
                                                              : std::string()));
            }
        }
        figures_.images.push_back(std::move(image));
    }
    std::sort(figures_.images.begin(), figures_.images.end(), [](const auto& a, const auto& b) {
        return a.runs != b.runs ? a.runs > b.runs : a.sha256 < b.sha256;
    });
    if (figures_.images.size() > ReportFigures::kImages) {
        figures_.imagesLeft = figures_.images.size() - ReportFigures::kImages;
        figures_.images.resize(ReportFigures::kImages);
    }
    figures_.stations = Groups(stations_, figures_.stationsLeft);
    figures_.pods = Groups(pods_, figures_.podsLeft);
    FinishFailures();
    FinishPeriods();
    return std::move(figures_);
}

std::vector<ReportFigures::Group> ReportAggregator::Groups(std::map<std::string, GroupRuns>& runs,
                                                           std::uint64_t& left) {
    std::vector<ReportFigures::Group> groups;
    for (auto& [name, group] : runs) {
        std::sort(group.seconds.begin(), group.seconds.end());
        groups.push_back({name, group.runs, group.passed,
                          group.seconds.empty()
                              ? std::nullopt
                              : std::optional(CycleTimes::NearestRank(group.seconds, 0.5))});
    }
    // The busiest first; the names' order among equals.
    std::stable_sort(groups.begin(), groups.end(),
                     [](const auto& a, const auto& b) { return a.runs > b.runs; });
    left = groups.size() > ReportFigures::kGroups ? groups.size() - ReportFigures::kGroups : 0;
    groups.resize(std::min(groups.size(), ReportFigures::kGroups));
    runs.clear();
    return groups;
}

void ReportAggregator::FinishFailures() {
    for (auto& [text, runs] : failureTexts_) {
        figures_.failures.push_back({text, runs});
    }
    std::sort(figures_.failures.begin(), figures_.failures.end(), [](const auto& a, const auto& b) {
        return a.runs != b.runs ? a.runs > b.runs : a.text < b.text;
    });
    for (std::size_t i = ReportFigures::kFailureTexts; i < figures_.failures.size(); ++i) {
        ++figures_.failureTextsLeft;
        figures_.failureRunsLeft += figures_.failures[i].runs;
    }
    figures_.failures.resize(std::min(figures_.failures.size(), ReportFigures::kFailureTexts));
    std::sort(lastFailures_.begin(), lastFailures_.end(),
              Newer<decltype(lastFailures_)::value_type>);
    lastFailures_.resize(std::min(lastFailures_.size(), ReportFigures::kFailedRunRows));
    for (auto& [sequence, failure] : lastFailures_) {
        figures_.lastFailures.push_back(std::move(failure));
    }
}

void ReportAggregator::FinishPeriods() {
    if (hours_.empty()) {
        return;
    }
    const std::int64_t length = PeriodHours(hours_.rbegin()->first - hours_.begin()->first + 1);
    // Periods begin at whole multiples of their length: days at midnight UTC.
    const std::int64_t earliest = hours_.begin()->first;
    const std::int64_t first = (earliest >= 0 ? earliest : earliest - length + 1) / length * length;
    figures_.periodSeconds = length * kHour;
    const std::size_t count =
        static_cast<std::size_t>((hours_.rbegin()->first - first) / length + 1);
    figures_.periods.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        figures_.periods[i].start = (first + static_cast<std::int64_t>(i) * length) * kHour;
    }
    for (const auto& [hour, counts] : hours_) {
        ReportFigures::Period& period =
            figures_.periods[static_cast<std::size_t>((hour - first) / length)];
        period.passed += counts.passed;
        period.failed += counts.failed;
    }
}
