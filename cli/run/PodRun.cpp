#include "run/PodRun.h"

#include "CliExit.h"
#include "run/BoardCommand.h"
#include "run/CliEnvironment.h"
#include "run/ConsoleUi.h"
#include "run/RunRecorder.h"

PodRun::PodRun(const BoardCommand& board, const PodChoice& pod,
               const CliEnvironment& environment, ConsoleUi& ui, RunRecorder& recorder)
    : environment_(environment),
      printsOnStdout_(board.PrintsOnStdout()),
      ui_(ui),
      recorder_(recorder),
      session_(pod, environment, ui),
      tracePath_(pod.tracePath) {
    record_.command = board.name;
}

int PodRun::Start() {
    int status = session_.Start(image_);
    if (status == kExitSuccess && OutputGone()) {
        status = kExitInputError;
    }
    BeginBoard();
    return status;
}

bool PodRun::OutputGone() {
    if (!printsOnStdout_ || !environment_.outputClosed || !environment_.outputClosed()) {
        return false;
    }
    ui_.Error("vantix-cli: the standard output is closed (its reader has gone); no board starts");
    return true;
}

int PodRun::Refuse(int status) {
    return recorder_.Keep(record_, status);
}

int PodRun::Unreachable() {
    session_.ReportUnreachable();
    return session_.ClaimRefused() ? session_.ClaimStatus() : kExitUnreachable;
}

namespace {

// After the status text of the step it cut short.
constexpr const char* kDisconnectedText = "the pod was disconnected during this step";

}  // namespace

bool PodRun::DeviceGone() {
    return !recorder_.Interrupted() && session_.Library().DeviceGone();
}

int PodRun::Gone(const CommandOutcome& outcome) {
    podGone_ = true;
    // The step's own words: its status text, or the failed reset's message.
    goneStep_ =
        outcome.kind == CommandOutcome::Kind::Failed ? outcome.statusText : ui_.LastMessage();
    if (outcome.kind == CommandOutcome::Kind::Failed && !outcome.statusText.empty() &&
        (ui_.Quiet() || !ui_.ShowedStatus(outcome.statusText))) {
        ui_.Error(outcome.statusText);
    }
    const std::string& serial = session_.PodSerial();
    ui_.Error("vantix-cli: " + (serial.empty() ? std::string("the pod") : "pod " + serial) +
              " was disconnected during this step");
    return kExitUnreachable;
}

int PodRun::ExitFor(const CommandOutcome& outcome) {
    const bool failed = outcome.kind == CommandOutcome::Kind::Failed ||
                        outcome.kind == CommandOutcome::Kind::ResetFailed;
    if (failed && DeviceGone()) {
        return Gone(outcome);
    }
    switch (outcome.kind) {
        case CommandOutcome::Kind::Refused:
            ui_.ReportRefusal();
            return kExitInputError;
        case CommandOutcome::Kind::Unreachable:
            return Unreachable();
        case CommandOutcome::Kind::Failed:
            // The failure's status text is the error; print it unless it already showed, or
            // the step failed only because it was interrupted.
            if (!outcome.statusText.empty() && !recorder_.Interrupted() &&
                (ui_.Quiet() || !ui_.ShowedStatus(outcome.statusText))) {
                ui_.Error(outcome.statusText);
            }
            return kExitFailed;
        case CommandOutcome::Kind::ResetFailed:
            return kExitFailed;
        case CommandOutcome::Kind::Succeeded:
            return kExitSuccess;
    }
    return kExitFailed;
}

void PodRun::Conclude(const CommandOutcome* outcome) {
    record_.pod.reset();
    if (!session_.PodSerial().empty()) {
        record_.pod = session_.PodSerial();
    }
    record_.result.reset();
    record_.status = ui_.LastMessage();
    if (outcome != nullptr && (outcome->kind == CommandOutcome::Kind::Failed ||
                               outcome->kind == CommandOutcome::Kind::Succeeded ||
                               outcome->kind == CommandOutcome::Kind::ResetFailed)) {
        record_.result = outcome->result;
        if (outcome->kind != CommandOutcome::Kind::ResetFailed) {
            record_.status = outcome->statusText;
        }
    }
    if (podGone_) {
        record_.status = goneStep_ + (goneStep_.empty() ? "" : ": ") + kDisconnectedText;
    }
    // The simulated board is its state file: one not saved holds nothing of the run.
    if (!session_.StateFailure().empty() && !recorder_.Interrupted()) {
        record_.status = session_.StateFailure();
        record_.result.reset();  // the sequence's 0 is not the board's: the board was not kept
    }
    record_.seconds = (session_.ElapsedMs() - boardStartMs_) * 0.001;
}

int PodRun::Keep(int status) {
    // A trace that stopped short is an incomplete record of the board's wire: the board ran,
    // so the run ends with 4, as for a lost log line, and the line stops. The board's record
    // still says how the board itself ended.
    bool traceCut = false;
    if (const std::string& failure = session_.TraceFailure(); !failure.empty() && !traceLost_) {
        traceLost_ = true;
        traceCut = true;
        ui_.Finish();
        ui_.Error("vantix-cli: cannot write the trace file " + tracePath_ + " (" + failure +
                  "); the trace of this board is incomplete");
        recorder_.MarkLost();
    }
    const int kept = recorder_.Keep(record_, status);
    const bool ran = kept == kExitSuccess || kept == kExitFailed;
    return traceCut && ran && !recorder_.Interrupted() ? kExitRecordLost : kept;
}

int PodRun::Finish(int status, const CommandOutcome* outcome) {
    status = session_.Finish(status);
    Conclude(outcome);
    return Keep(status);
}
