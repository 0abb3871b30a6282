#include "gang/GangPod.h"

#include "CliExit.h"
#include "run/CliEnvironment.h"
#include "run/RunFilesOf.h"
#include "run/SerialPatch.h"

namespace {

// A single run's global options on one pod: --pod names it, its trace is PATH.SERIAL and its
// board is the one named for it.
GlobalOptions OnPod(const GlobalOptions& globals, const std::string& serial,
                    const std::string& boardId) {
    GlobalOptions onPod = globals;
    onPod.pod.serial = serial;
    onPod.pod.tracePath = serial.empty() || globals.pod.tracePath.empty()
                              ? std::string()
                              : globals.pod.tracePath + "." + serial;
    onPod.records.boardId = boardId;
    return onPod;
}

// The pod's record is printed by the run on several pods, so the pod's own run prints none
// (and blank-check's lines go to the pod's data).
BoardCommand PrintingNoRecord(BoardCommand board) {
    board.json = false;
    return board;
}

}  // namespace

GangPod::GangPod(const GlobalOptions& globals, const BoardCommand& board,
                 const std::string& serial, const std::string& boardId, std::size_t console,
                 const CliEnvironment& environment, GangDisplay& display)
    : globals_(OnPod(globals, serial, boardId)),
      board_(PrintingNoRecord(board)),
      environment_(environment),
      output_(display, console),
      err_(&output_),
      ui_(err_, globals_.verbosity, environment.stderrIsTerminal),
      recorder_(board_, globals_, environment, ui_, data_),
      work_(board_.makeWork({environment, ui_, recorder_, data_, board_.json})),
      run_(board_, globals_.pod, environment, ui_, recorder_) {
    ui_.WatchInterruption(environment.interrupted);
}

int GangPod::CheckFiles() {
    const RunFiles files = RunFilesOf(globals_, board_);
    for (const std::string& problem : {FileClash(files), StateFolderProblem(files)}) {
        if (!problem.empty()) {
            ui_.Error("vantix-cli: " + problem);
            return kExitInputError;
        }
    }
    if (!recorder_.OpenLog()) {
        return kExitInputError;
    }
    // Each pod keeps its own connection: its boards' numbers are taken with its run's id, and
    // its records are stored from its own thread.
    return recorder_.OpenStationDb();
}

int GangPod::Prepare() {
    return work_->Prepare(run_);
}

int GangPod::Start() {
    return run_.Start();
}

void GangPod::Refuse(int status) {
    status_ = run_.Refuse(status);
}

bool GangPod::BeginBoard(const std::string& boardId, SerialPatch* numbers) {
    ui_.ForgetLastMessage();
    run_.BeginBoard();
    recorder_.BoardId() = boardId;
    unreached_ = false;
    if (numbers == nullptr || work_->TakeSerial(run_, *numbers)) {
        return true;
    }
    // As a single run: no number (or its image no longer released), the board is not touched.
    boardStatus_ = numbers->FailureStatus();
    if (board_.repeat) {
        run_.Conclude(nullptr);
        status_ = run_.Keep(boardStatus_);
    } else {
        status_ = run_.Finish(boardStatus_, nullptr);
    }
    return false;
}

CommandOutcome GangPod::Work() {
    const CommandOutcome outcome = work_->RunOnce(run_);
    work_->AfterBoard(run_);
    return outcome;
}

void GangPod::RunBoard() {
    const CommandOutcome outcome = Work();
    PodSession& session = run_.Session();
    int status = run_.ExitFor(outcome);
    unreached_ = (outcome.kind == CommandOutcome::Kind::Unreachable || run_.PodGone()) &&
                 !session.Interrupted();
    // A reset's record says what the console showed, as a single reset's does.
    const CommandOutcome* recorded = work_->RecordsOutcome() ? &outcome : nullptr;
    if (!board_.repeat) {
        // The board's own status, as the session's end gives it (a state that cannot be
        // saved fails the board), before its record's fate.
        boardStatus_ = run_.Session().Finish(status);
        run_.Conclude(recorded);
        status_ = run_.Keep(boardStatus_);
        return;
    }
    // Board after board, as --repeat on one pod: the pod's lock is given back between them.
    session.ReleasePod();
    if (session.Interrupted()) {
        status = InterruptedExit(environment_);
    }
    run_.Conclude(recorded);
    boardStatus_ = status;
    status_ = run_.Keep(status);
    ui_.Finish();
}

int GangPod::End() {
    return run_.Session().Finish(kExitSuccess);
}

std::string GangPod::TakeData() {
    std::string data = data_.str();
    data_.str({});
    return data;
}
