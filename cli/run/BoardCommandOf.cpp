#include "run/BoardCommandOf.h"

#include "commandline/CliOptions.h"
#include "commandline/CommandTable.h"

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

}  // namespace

BoardCommand BoardCommandOf(const CliOptions& options) {
    BoardCommand board;
    board.command = options.command;
    board.name = options.command == CliCommand::None ? "" : CommandOf(options.command).name;
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
    return board;
}
