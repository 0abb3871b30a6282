#include "commands/PodRun.h"

#include "commandline/CliExit.h"
#include "commandline/CliOptions.h"
#include "commandline/CommandTable.h"
#include "commands/ConsoleUi.h"
#include "commands/RunRecorder.h"

PodRun::PodRun(const CliOptions& options, const CliEnvironment& environment, ConsoleUi& ui,
               RunRecorder& recorder)
    : ui_(ui), recorder_(recorder), session_(options, environment, ui) {
    record_.command = CommandOf(options.command).name;
}

int PodRun::Start() {
    const int status = session_.Start(image_);
    BeginBoard();
    return status;
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
    goneStep_ = outcome.kind == CommandOutcome::Kind::Failed ? outcome.statusText
                                                             : ui_.LastMessage();
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
    record_.seconds = (session_.ElapsedMs() - boardStartMs_) * 0.001;
}

int PodRun::Keep(int status) {
    return recorder_.Keep(record_, status);
}

int PodRun::Finish(int status, const CommandOutcome* outcome) {
    status = session_.Finish(status);
    Conclude(outcome);
    return Keep(status);
}
