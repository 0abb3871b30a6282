#include "run/BoardLoop.h"

#include <memory>

#include "CliExit.h"
#include "commandline/GlobalOptions.h"
#include "run/BoardCommand.h"
#include "run/BoardWork.h"
#include "run/CliEnvironment.h"
#include "run/ConsoleUi.h"
#include "run/LineTally.h"
#include "run/PodRun.h"
#include "run/RunFilesOf.h"
#include "run/RunRecorder.h"
#include "run/SerialPatch.h"
#include "station/BoardPrompt.h"

namespace {

// One command's boards on one pod: its work, its run and its recorder.
class BoardLoop {
public:
    BoardLoop(const GlobalOptions& globals, const BoardCommand& board,
              const CliEnvironment& environment, ConsoleUi& ui, std::ostream& out)
        : board_(board),
          environment_(environment),
          ui_(ui),
          recorder_(board, globals, environment, ui, out),
          work_(board.makeWork({environment, ui, recorder_, out, board.json})),
          run_(board, globals.pod, environment, ui, recorder_) {}

    int Run(const GlobalOptions& globals);

private:
    // Takes the board's serial number; false when there is none for it.
    bool TakeSerial() {
        SerialPatch* numbers = work_->Numbers();
        return numbers == nullptr || work_->TakeSerial(run_, *numbers);
    }
    int FailureStatus() { return work_->Numbers()->FailureStatus(); }
    const CommandOutcome* Recorded(const CommandOutcome& outcome) const {
        return work_->RecordsOutcome() ? &outcome : nullptr;
    }
    int RunOneBoard();
    // A board of --repeat once it has its number: its work, its state and its record; its
    // status, and whether a simulated board's state could be kept.
    int RunNextBoard(CommandOutcome& outcome, bool& stateKept);
    int RunBoardAfterBoard();

    const BoardCommand& board_;
    const CliEnvironment& environment_;
    ConsoleUi& ui_;
    RunRecorder recorder_;
    std::unique_ptr<BoardWork> work_;
    PodRun run_;
};

int BoardLoop::Run(const GlobalOptions& globals) {
    if (const int status = OpenRun(globals, board_, recorder_, ui_); status != kExitSuccess) {
        return status;
    }
    if (const int status = work_->Prepare(run_); status != kExitSuccess) {
        return run_.Refuse(status);
    }
    if (const int status = run_.Start(); status != kExitSuccess) {
        return run_.Refuse(status);
    }
    return board_.repeat ? RunBoardAfterBoard() : RunOneBoard();
}

int BoardLoop::RunOneBoard() {
    if (!TakeSerial()) {
        return run_.Finish(FailureStatus(), nullptr);
    }
    const CommandOutcome outcome = work_->RunOnce(run_);
    if (environment_.atStep) {
        environment_.atStep("board done");
    }
    const int status = run_.ExitFor(outcome);
    work_->AfterBoard(run_);
    return run_.Finish(status, Recorded(outcome));
}

int BoardLoop::RunNextBoard(CommandOutcome& outcome, bool& stateKept) {
    PodSession& session = run_.Session();
    outcome = work_->RunOnce(run_);
    int status = run_.ExitFor(outcome);
    work_->AfterBoard(run_);
    session.ReleasePod();
    // A simulated board is its state: one that cannot be kept fails, and so would every
    // board after it.
    stateKept = session.SaveState();
    if (!stateKept && status == kExitSuccess) {
        status = kExitFailed;
    }
    if (session.Interrupted()) {
        status = InterruptedExit(environment_);
    }
    run_.Conclude(Recorded(outcome));
    run_.Keep(status);
    return status;
}

int BoardLoop::RunBoardAfterBoard() {
    // Board after board until the operator has had enough; each board is a record.
    BoardPrompt prompt(environment_.input, environment_.interrupted);
    PodSession& session = run_.Session();
    LineTally tally;
    bool noNumber = false;
    int unreachable = kExitSuccess;  // the pod could not be reached (3) or chosen (2)
    for (;;) {
        ui_.ForgetLastMessage();
        run_.BeginBoard();
        if (tally.Boards() > 0 && run_.OutputGone()) {
            // The last board's record may not have reached anybody either.
            recorder_.MarkLost();
            break;
        }
        if (!TakeSerial()) {
            // No number for this board (counter unreadable, width used up, the station
            // database out of reach, its image no longer released): the line stops.
            noNumber = true;
            run_.Conclude(nullptr);
            run_.Keep(FailureStatus());
            break;
        }
        CommandOutcome outcome;
        bool stateKept = true;
        const int status = RunNextBoard(outcome, stateKept);
        tally.Count(status == kExitSuccess, recorder_.LastFate());
        ui_.Finish();
        ui_.Error(tally.Text());
        if ((outcome.kind == CommandOutcome::Kind::Unreachable || run_.PodGone()) &&
            !session.Interrupted()) {
            // A pod that has gone (or was never there) programs no further board.
            unreachable = status;
            break;
        }
        if (session.Interrupted() || recorder_.RecordLost() || !stateKept) {
            break;
        }
        prompt.DiscardTypeAhead();
        ui_.Info("Next board: press Enter (q and Enter to stop)");
        if (!prompt.NextBoardWanted(recorder_.BoardId())) {
            break;
        }
    }
    // Every board passed: 0; any failed: 1; no serial number for a board: 2 (3 when the
    // station database was out of reach); the pod gone: 3 (or 2 when the options name no one
    // pod); a record lost: 4; a signal, at a board or at the prompt: 128 + the signal.
    const bool allPassed = tally.Passed() == tally.Boards();
    return session.Finish(recorder_.RecordLost()         ? kExitRecordLost
                          : noNumber                     ? FailureStatus()
                          : unreachable != kExitSuccess  ? unreachable
                          : allPassed                    ? kExitSuccess
                                                         : kExitFailed);
}

}  // namespace

int OpenRun(const GlobalOptions& globals, const BoardCommand& board, RunRecorder& recorder,
            ConsoleUi& ui) {
    // Every refusal of a command that keeps records is a record too (--json, and the log
    // once it is open).
    const bool records = board.keepsRecords;
    const RunFiles files = RunFilesOf(globals, board);
    for (const std::string& problem : {FileClash(files), StateFolderProblem(files)}) {
        if (!problem.empty()) {
            ui.Error("vantix-cli: " + problem);
            return records ? recorder.KeepRefusal(kExitInputError) : kExitInputError;
        }
    }
    if (records && !recorder.OpenLog()) {
        return recorder.KeepRefusal(kExitInputError);
    }
    if (records) {
        if (const int status = recorder.OpenStationDb(); status != kExitSuccess) {
            return recorder.KeepRefusal(status);
        }
    }
    return kExitSuccess;
}

int RunOnOnePod(const GlobalOptions& globals, const BoardCommand& board,
                const CliEnvironment& environment, ConsoleUi& ui, std::ostream& out) {
    return BoardLoop(globals, board, environment, ui, out).Run(globals);
}

int RunOnPod(const GlobalOptions& globals, const BoardCommand& board,
             const CliEnvironment& environment, ConsoleUi& ui, std::ostream& out,
             const std::function<int(PodRun& run)>& work) {
    RunRecorder recorder(board, globals, environment, ui, out);
    if (const int status = OpenRun(globals, board, recorder, ui); status != kExitSuccess) {
        return status;
    }
    PodRun run(board, globals.pod, environment, ui, recorder);
    return work(run);
}
