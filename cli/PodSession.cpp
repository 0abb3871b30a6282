#include "PodSession.h"

#include "CliExit.h"
#include "CliOptions.h"
#include "ConsoleUi.h"
#include "RunCli.h"
#include "sim/SimulatedPod.h"

PodSession::PodSession(const CliOptions& options, const CliEnvironment& environment, ConsoleUi& ui)
    : options_(options),
      environment_(environment),
      ui_(ui),
      interrupted_(environment.interrupted != nullptr ? *environment.interrupted
                                                      : neverInterrupted_),
      trace_(ui) {}

PodSession::~PodSession() {
    // The driver closes the pod through the library, so it goes first.
    commands_.reset();
    pod_.reset();
}

int PodSession::Start(const SFileImage& image) {
    if (!options_.tracePath.empty() && !trace_.OpenFile(options_.tracePath)) {
        ui_.Error("vantix-cli: cannot write the trace file " + options_.tracePath);
        return kExitInputError;
    }
    // The instant simulated pod runs in virtual time, so its time-outs and working times
    // cost nothing and the elapsed time shown is the time a real pod would take.
    if (options_.simulate && !options_.simRealtime) {
        clock_ = std::make_unique<VirtualClock>();
    } else {
        clock_ = std::make_unique<SteadyClock>();
    }
    BackendOptions backendOptions;
    backendOptions.simulate = options_.simulate;
    backendOptions.simRealtime = options_.simRealtime;
    backendOptions.simStatePath = options_.simStatePath;
    backendOptions.simFill = options_.simFill;
    backend_ = environment_.makeBackend ? environment_.makeBackend(backendOptions, *clock_)
                                        : MakeD2xxBackend(backendOptions, *clock_);
    if (!backend_.library) {
        ui_.Error("vantix-cli: " + backend_.error);
        return kExitInputError;
    }
    library_.emplace(*backend_.library, interrupted_);
    pod_ = std::make_unique<CUsbPod>(*library_, *clock_, image);
    if (trace_.Wanted()) {
        pod_->SetWireTrace(&trace_);
    }
    commands_ = std::make_unique<ProgrammerCommands>(*pod_, image, *clock_, ui_);
    pod_->LoadDriverLibrary();
    return kExitSuccess;
}

int PodSession::Finish(int status) {
    ui_.Finish();
    if (pod_) {
        // Normally closed by the command already; after an interruption make sure.
        pod_->Close();
    }
    if (backend_.simulatedPod != nullptr && !options_.simStatePath.empty()) {
        std::string error;
        if (!backend_.simulatedPod->SaveState(options_.simStatePath, &error)) {
            ui_.Error("vantix-cli: cannot save the simulated pod's state to " +
                      options_.simStatePath + ": " + error);
            if (status == kExitSuccess) {
                status = kExitFailed;
            }
        }
    }
    if (Interrupted()) {
        ui_.Error("vantix-cli: interrupted; the pod is closed");
        return kExitInterrupted;
    }
    return status;
}

void PodSession::ReportUnreachable() {
    if (!library_) {
        return;
    }
    // A library that tried others names each one in its reason already.
    const std::string reason = library_->LastError();
    const std::string name = std::string(library_->Name()) + ": ";
    if (!reason.empty()) {
        ui_.Error("vantix-cli: " + (reason.rfind(name, 0) == 0 ? reason : name + reason));
    }
}
