#include "report/BoardTally.h"

#include <algorithm>
#include <charconv>

namespace {

// The first 64 bits of the run's UUID, to order runs that ended at the same moment.
std::uint64_t RunOrder(const ReportRecord& record) {
    std::string hex;
    for (const char c : record.run.value_or("")) {
        if (c != '-' && hex.size() < 16) {
            hex += c;
        }
    }
    std::uint64_t order = 0;
    std::from_chars(hex.data(), hex.data() + hex.size(), order, 16);
    return order;
}

}  // namespace

void BoardTally::Add(const ReportRecord& record, std::uint64_t sequence) {
    std::string key;
    if (record.board && !record.board->empty()) {
        key = "b" + *record.board;
    } else if (record.serial) {
        key = "s" + std::to_string(*record.serial);
    } else {
        key = "r" + std::to_string(sequence);
    }
    const Moment now{record.time, record.microseconds, RunOrder(record), sequence};
    const auto [entry, added] = boards_.try_emplace(std::move(key));
    Board& board = entry->second;
    ReportFigures::Board& row = board.row;
    if (added) {
        row.board = record.board.value_or("");
        board.first = now;
        board.last = now;
    }
    ++row.runs;
    if (record.serial) {
        row.serial = record.serial;
    }
    if (now < board.first) {
        board.first = now;
    }
    if (!(now < board.last)) {
        board.last = now;
        row.station = record.station;
        row.pod = record.pod;
        row.command = record.command;
        row.status = record.status;
    }
    if (!record.Programs()) {
        return;
    }
    if (row.programmingRuns++ == 0 || now < board.firstProgramming) {
        board.firstProgramming = now;
        row.firstPassed = record.Passed();
    }
    if (row.programmingRuns == 1 || !(now < board.lastProgramming)) {
        board.lastProgramming = now;
        row.finalPassed = record.Passed();
    }
}

void BoardTally::Finish(ReportFigures& figures) {
    figures.boards = boards_.size();
    std::vector<std::pair<Moment, ReportFigures::Board*>> order;
    order.reserve(boards_.size());
    for (auto& [key, board] : boards_) {
        board.row.firstTime = board.first.time;
        board.row.lastTime = board.last.time;
        order.emplace_back(board.first, &board.row);
        const ReportFigures::Board& row = board.row;
        if (row.programmingRuns == 0) {
            continue;
        }
        ++figures.boardsProgrammed;
        figures.firstPass += *row.firstPassed ? 1 : 0;
        figures.finalPass += *row.finalPassed ? 1 : 0;
        figures.reworked += row.programmingRuns > 1 ? 1 : 0;
    }
    std::sort(order.begin(), order.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    figures.boardRows.reserve(order.size());
    for (auto& [first, row] : order) {
        figures.boardRows.push_back(std::move(*row));
    }
    boards_.clear();
}
