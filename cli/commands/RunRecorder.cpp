#include "commands/RunRecorder.h"

#include "commandline/CliExit.h"
#include "commandline/CliOptions.h"
#include "commands/CliEnvironment.h"
#include "commands/ConsoleUi.h"

RunRecorder::RunRecorder(const CliOptions& options, const CliEnvironment& environment,
                         ConsoleUi& ui, std::ostream& out)
    : options_(options), environment_(environment), ui_(ui), out_(out), boardId_(options.boardId) {}

bool RunRecorder::OpenLog() {
    std::string error;
    if (!options_.logPath.empty() && !log_.Open(options_.logPath, error)) {
        ui_.Error("vantix-cli: " + error);
        return false;
    }
    return true;
}

bool RunRecorder::Interrupted() const {
    return environment_.interrupted != nullptr && environment_.interrupted->load();
}

int RunRecorder::Keep(RunRecord& record, int status) {
    if (record.status.empty()) {
        record.status = ui_.LastMessage();
    }
    if (Interrupted()) {
        // The step that was cut short did not fail: say what happened.
        record.status = "interrupted";
        record.result.reset();
    }
    record.board.reset();
    if (!boardId_.empty()) {
        record.board = boardId_;
    }
    record.exitCode = status;
    std::string error;
    if (log_.IsOpen() &&
        !log_.Append(RunLogJson(record, RunLog::UtcNow(), RunLog::HostName()), error)) {
        recordLost_ = true;
        if (!Interrupted()) {
            status = kExitRecordLost;
        }
        record.exitCode = status;
    }
    if (options_.json) {
        out_ << RunRecordJson(record) << '\n';
        out_.flush();
    }
    if (recordLost_) {
        ui_.Finish();
        ui_.Error("vantix-cli: " + error);
        ui_.Error("vantix-cli: the record of this board is missing from the log " +
                  options_.logPath + "; stopping");
    }
    return status;
}
