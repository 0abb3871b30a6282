#include "run/BoardCommandOf.h"

#include <string>
#include <vector>

#include "commandline/CliOptions.h"
#include "records/RunRecord.h"
#include "run/ConsoleUi.h"
#include "run/FileBoard.h"
#include "run/PodRun.h"

namespace {

bool KeepsRecords(CliCommand command) {
    switch (command) {
        case CliCommand::PodInfo:
        case CliCommand::Write:
        case CliCommand::WriteVerify:
        case CliCommand::Verify:
        case CliCommand::PodWrite:
        case CliCommand::PodVerify:
        case CliCommand::Reset:
        case CliCommand::Erase:
        case CliCommand::BlankCheck:
            return true;
        default:
            return false;
    }
}

// write and write-verify: with --only-changed, the pages of each region the run reached
// go into the board's record and onto the console.
class TargetWriteWork : public FileBoard {
public:
    TargetWriteWork(const CliOptions& options, const BoardParts& parts)
        : FileBoard(LoadOf(options), options.regions, NumberingOf(options), std::nullopt, parts),
          command_(options.command == CliCommand::Write ? TargetCommand::Write
                                                        : TargetCommand::WriteVerify),
          eraseAllBoot_(options.eraseAllBoot),
          resetAfter_(options.resetAfter),
          onlyChanged_(options.onlyChanged) {}

    CommandOutcome RunOnce(PodRun& run) override {
        changedPages_.clear();
        return run.Operations().RunTarget(command_, Items(), eraseAllBoot_, resetAfter_,
                                          onlyChanged_ ? &changedPages_ : nullptr);
    }

    // "PFLASH: 3 of 120 pages written"; a region the run did not reach compared nothing
    // and wrote nothing.
    void AfterBoard(PodRun& run) override {
        if (!onlyChanged_) {
            return;
        }
        for (RunRecord::Region& region : run.Record().regions) {
            region.pages.emplace();
            for (const ChangedPages& counts : changedPages_) {
                if (region.name != RegionName(counts.region)) {
                    continue;
                }
                region.pages = {counts.compared, counts.differed, counts.written};
                Console().Info(region.name + ": " + std::to_string(counts.written) + " of " +
                               std::to_string(counts.pages) + " pages written");
            }
        }
    }

    static FileLoad LoadOf(const CliOptions& options) {
        FileLoad load{{*options.file, *options.cpu}, options.strict, std::nullopt};
        if (options.expectSha256) {
            load.expected = ExpectedImage{*options.expectSha256, options.expectFromJobFile};
        }
        return load;
    }

private:
    static std::optional<SerialNumbering> NumberingOf(const CliOptions& options) {
        if (!options.serialAt) {
            return std::nullopt;
        }
        return SerialNumbering{{*options.serialAt, options.serialWords, options.serialOverwrite},
                               options.serialCounter,
                               options.serialStart,
                               options.serialSeries};
    }

    const TargetCommand command_;
    const bool eraseAllBoot_;
    const bool resetAfter_;
    const bool onlyChanged_;
    std::vector<ChangedPages> changedPages_;
};

class VerifyWork : public FileBoard {
public:
    VerifyWork(const CliOptions& options, const BoardParts& parts)
        : FileBoard(TargetWriteWork::LoadOf(options), options.regions, std::nullopt,
                    CheckOf(options), parts),
          resetAfter_(options.resetAfter) {}

    CommandOutcome RunOnce(PodRun& run) override {
        return run.Operations().RunTarget(TargetCommand::Verify, Items(), false, resetAfter_);
    }

private:
    static std::optional<SerialCheck> CheckOf(const CliOptions& options) {
        if (!options.serialAt) {
            return std::nullopt;
        }
        return SerialCheck{{*options.serialAt, options.serialWords, options.serialOverwrite},
                           options.serialValue.value_or(0)};
    }

    const bool resetAfter_;
};

std::function<std::unique_ptr<BoardWork>(const BoardParts&)> WorkOf(const CliOptions& options) {
    switch (options.command) {
        case CliCommand::Write:
        case CliCommand::WriteVerify:
            return [options](const BoardParts& parts) {
                return std::make_unique<TargetWriteWork>(options, parts);
            };
        case CliCommand::Verify:
            return [options](const BoardParts& parts) {
                return std::make_unique<VerifyWork>(options, parts);
            };
        default:
            return nullptr;
    }
}

}  // namespace

BoardCommand BoardCommandOf(const CliOptions& options, const char* name) {
    BoardCommand board;
    board.command = options.command;
    board.name = name;
    board.json = options.json;
    board.repeat = options.repeat;
    board.printsFindings = options.command == CliCommand::BlankCheck ||
                           options.command == CliCommand::PodInfo ||
                           options.command == CliCommand::List;
    board.keepsRecords = KeepsRecords(options.command);
    board.facts = {options.file, options.cpu};
    if (options.serialSeries) {
        board.series = RecordedSeries{*options.serialSeries, options.serialWords};
    }
    const bool numbersBoards =
        options.command == CliCommand::Write || options.command == CliCommand::WriteVerify;
    if (options.serialAt && numbersBoards) {
        board.counter = options.serialCounter;
    }
    board.makeWork = WorkOf(options);
    return board;
}
