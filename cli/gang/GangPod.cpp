#include "gang/GangPod.h"

#include "CliExit.h"
#include "run/BoardCommandOf.h"
#include "run/CliEnvironment.h"
#include "run/RunFilesOf.h"
#include "run/SerialPatch.h"

namespace {

// A single run's options on one pod: --pod names it, its trace is PATH.SERIAL and its board
// is the one named for it. The pod's record is printed by the run on several pods, so the
// pod's own run prints none (and blank-check's lines go to the pod's data).
CliOptions OptionsOnPod(const CliOptions& options, const std::string& serial,
                        const std::string& boardId) {
    CliOptions onPod = options;
    onPod.pods.reset();
    onPod.pod.serial = serial;
    onPod.pod.tracePath = serial.empty() || options.pod.tracePath.empty()
                              ? std::string()
                              : options.pod.tracePath + "." + serial;
    onPod.records.boardId = boardId;
    onPod.json = false;
    return onPod;
}

}  // namespace

GangPod::GangPod(const CliOptions& options, const std::string& serial, const std::string& boardId,
                 std::size_t console, const CliEnvironment& environment, GangDisplay& display)
    : options_(OptionsOnPod(options, serial, boardId)),
      board_(BoardCommandOf(options_)),
      environment_(environment),
      output_(display, console),
      err_(&output_),
      ui_(err_, options_.verbosity, environment.stderrIsTerminal),
      recorder_(board_, options_, environment, ui_, data_),
      run_(board_, options_.pod, environment, ui_, recorder_) {
    ui_.WatchInterruption(environment.interrupted);
    switch (options_.command) {
        case CliCommand::Reset:
            break;
        case CliCommand::Erase:
        case CliCommand::BlankCheck:
            regions_.emplace(options_, environment, ui_, recorder_, data_);
            break;
        default:
            file_.emplace(options_, environment, ui_, recorder_);
            break;
    }
}

int GangPod::CheckFiles() {
    const RunFiles files = RunFilesOf(options_, board_);
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
    if (file_) {
        return file_->Prepare(run_);
    }
    return regions_ ? regions_->Prepare(run_) : kExitSuccess;
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
    if (!file_ || numbers == nullptr || file_->TakeSerial(run_, *numbers)) {
        return true;
    }
    // As a single run: no number (or its image no longer released), the board is not touched.
    boardStatus_ = numbers->FailureStatus();
    if (options_.repeat) {
        run_.Conclude(nullptr);
        status_ = run_.Keep(boardStatus_);
    } else {
        status_ = run_.Finish(boardStatus_, nullptr);
    }
    return false;
}

CommandOutcome GangPod::Work() {
    if (file_) {
        const CommandOutcome outcome = file_->RunOnce(run_.Operations());
        file_->ReportChangedPages(run_);
        return outcome;
    }
    if (regions_) {
        return regions_->RunOnce(run_);
    }
    return run_.Operations().TargetReset();
}

void GangPod::RunBoard() {
    const CommandOutcome outcome = Work();
    PodSession& session = run_.Session();
    int status = run_.ExitFor(outcome);
    unreached_ = (outcome.kind == CommandOutcome::Kind::Unreachable || run_.PodGone()) &&
                 !session.Interrupted();
    // A reset's record says what the console showed, as a single reset's does.
    const CommandOutcome* recorded = file_ || regions_ ? &outcome : nullptr;
    if (!options_.repeat) {
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
