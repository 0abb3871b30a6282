#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "report/LineCounts.h"
#include "report/ReportFilter.h"

// Everything a report shows, worked out from the records: the HTML page and the CSV file are
// written from this alone. Long lists are capped here, so that the page's size does not grow
// with the number of records.
struct ReportFigures {
    struct Image {
        std::string sha256;
        std::string file;  // the file name (without its folder) last seen with it
        std::uint64_t runs = 0;
        // With the station database: its releases, a text each ("line-7, DSP56F807, from
        // 2026-12-08T09:30:00Z to 2026-12-09T10:00:00Z"), none when it was never released,
        // and the runs that programmed a board with it while it was not released.
        std::vector<std::string> releases;
        std::uint64_t unreleasedRuns = 0;
    };
    struct Period {
        std::int64_t start = 0;  // seconds since 1970 UTC
        std::uint64_t passed = 0;
        std::uint64_t failed = 0;  // interrupted runs among them
    };
    struct CycleTime {
        std::string command;
        std::uint64_t runs = 0;
        double median = 0.0;
        double p95 = 0.0;
        double min = 0.0;
        double max = 0.0;
        // Equal bins from `min` on; the last one also holds everything beyond it.
        double binWidth = 0.0;
        std::vector<std::uint64_t> bins;
    };
    struct Group {
        std::string name;
        std::uint64_t runs = 0;
        std::uint64_t passed = 0;
        std::optional<double> medianSeconds;  // of its runs that started; none without
    };
    struct Count {
        std::string text;
        std::uint64_t runs = 0;
    };
    struct FailedRun {
        std::int64_t time = 0;
        std::string station;
        std::optional<std::string> pod;
        std::optional<std::string> board;
        std::optional<std::uint64_t> serial;
        std::string command;
        std::string status;
    };
    struct Series {
        std::string name;  // the database's series, or where the number was written
        std::uint64_t first = 0;
        std::uint64_t last = 0;
        std::uint64_t used = 0;    // distinct numbers taken
        std::uint64_t failed = 0;  // distinct numbers taken by failed runs
        std::vector<std::pair<std::uint64_t, std::uint64_t>> failedRanges;  // capped
        std::uint64_t failedRangesLeft = 0;                                 // ranges past the cap
    };
    // One board, for the CSV file: its runs, the first and the last.
    struct Board {
        std::string board;  // the board id, or empty when the board is known by its serial
        std::optional<std::uint64_t> serial;
        std::uint64_t runs = 0;
        std::uint64_t programmingRuns = 0;
        std::int64_t firstTime = 0;
        std::int64_t lastTime = 0;
        std::optional<bool> firstPassed;  // its first write or write-verify
        std::optional<bool> finalPassed;  // its last write or write-verify
        std::string station;              // of its last run
        std::optional<std::string> pod;
        std::string command;
        std::string status;
    };

    static constexpr std::size_t kFailedRunRows = 1000;
    static constexpr std::size_t kFailureTexts = 100;
    static constexpr std::size_t kImages = 50;
    static constexpr std::size_t kFailedRanges = 200;
    static constexpr std::size_t kGroups = 200;
    static constexpr std::size_t kSeries = 50;
    static constexpr std::size_t kCommands = 20;

    std::vector<std::string> sources;  // the logs and the database, as named
    ReportFilter filter;
    LineCounts lines;

    std::uint64_t runs = 0;
    std::uint64_t passed = 0;
    std::uint64_t failed = 0;
    std::uint64_t interrupted = 0;
    std::uint64_t unknown = 0;  // the station stopped during the board
    // Runs that never reached a board (refused before the pod, the pod out of reach): runs
    // and failures, but no board, in no yield.
    std::uint64_t refusedBeforePod = 0;
    // Older records whose exit says their record could not be kept when the board ran.
    std::uint64_t recordsNotKept = 0;
    std::optional<std::int64_t> firstTime;
    std::optional<std::int64_t> lastTime;
    // Runs whose time is before 2000 or after the report was made: a station's wrong clock.
    // Counted with the others, but left out of the chart of boards per hour.
    std::uint64_t oddTimes = 0;
    std::optional<std::int64_t> earliestOddTime;
    std::optional<std::int64_t> latestOddTime;
    std::vector<Image> images;
    std::uint64_t imagesLeft = 0;
    // Runs that programmed a board (write, write-verify) with an image not released at the
    // time; none when the report read no station database, which alone knows the releases.
    std::optional<std::uint64_t> unreleasedRuns;

    std::uint64_t boards = 0;
    std::uint64_t boardsProgrammed = 0;  // boards with a write or write-verify
    std::uint64_t firstPass = 0;
    std::uint64_t finalPass = 0;
    std::uint64_t reworked = 0;  // boards programmed more than once

    std::int64_t periodSeconds = 3600;
    std::vector<Period> periods;
    std::vector<CycleTime> cycleTimes;  // of the runs that started; the busiest commands first
    std::uint64_t commandsLeft = 0;
    std::vector<Group> stations;
    std::uint64_t stationsLeft = 0;
    std::vector<Group> pods;
    std::uint64_t podsLeft = 0;

    std::uint64_t failedRuns = 0;  // runs that did not pass, interrupted ones included
    std::vector<Count> failures;   // by status text, most frequent first
    std::uint64_t failureTextsLeft = 0;
    std::uint64_t failureRunsLeft = 0;
    std::vector<FailedRun> lastFailures;  // the latest first, capped
    std::uint64_t failedBoardRuns = 0;

    std::vector<Series> series;
    std::uint64_t seriesLeft = 0;
    std::vector<Board> boardRows;
};
