#include "run/PodSession.h"

#include <cerrno>
#include <system_error>

#include "AttachedDevices.h"
#include "CliExit.h"
#include "FtdiPort.h"
#include "WritableNode.h"
#include "commandline/GlobalOptions.h"
#include "run/CliEnvironment.h"
#include "run/ConsoleUi.h"
#include "sim/SimulatedPod.h"

PodSession::PodSession(const PodChoice& choice, const CliEnvironment& environment, ConsoleUi& ui)
    : choice_(choice),
      environment_(environment),
      ui_(ui),
      interrupted_(environment.interrupted != nullptr ? *environment.interrupted
                                                      : neverInterrupted_),
      trace_(ui) {}

PodSession::~PodSession() {
    // The driver closes the pod through the library, so it goes first.
    operations_.reset();
    pod_.reset();
}

int PodSession::Start(const SFileImage& image) {
    // The trace is made (or emptied) only once the pod is reached: a refused run leaves the
    // last one as it was.
    if (!choice_.tracePath.empty()) {
        if (const std::string reason = TraceLog::WhyNotWritable(choice_.tracePath);
            !reason.empty()) {
            ui_.Error("vantix-cli: cannot write the trace file " + choice_.tracePath + " (" +
                      reason + ")");
            return kExitInputError;
        }
        // A device or FIFO has no last trace to keep: it is opened now, so that one nobody
        // reads is refused before the pod is touched.
        if (std::string reason;
            IsDeviceOrFifo(choice_.tracePath) && !trace_.OpenFile(choice_.tracePath, reason)) {
            ui_.Error("vantix-cli: cannot write the trace file " + choice_.tracePath + " (" +
                      reason + ")");
            return kExitInputError;
        }
    }
    // The instant simulated pod runs in virtual time, so its time-outs and working times
    // cost nothing and the elapsed time shown is the time a real pod would take.
    if (choice_.sim.simulate && !choice_.sim.realtime) {
        clock_ = std::make_unique<VirtualClock>();
    } else {
        clock_ = std::make_unique<SteadyClock>();
    }
    startMs_ = clock_->TickMs();
    backendOptions_.simulate = choice_.sim.simulate;
    backendOptions_.simRealtime = choice_.sim.realtime;
    backendOptions_.simStatePath = choice_.sim.statePath;
    backendOptions_.simFill = choice_.sim.fill;
    backendOptions_.simPods = choice_.sim.pods;
    backend_ = environment_.makeBackend ? environment_.makeBackend(backendOptions_, *clock_)
                                        : MakeD2xxBackend(backendOptions_, *clock_);
    if (!backend_.library) {
        ui_.Error("vantix-cli: " + backend_.error);
        return kExitInputError;
    }
    if (choice_.sim.simulate) {
        ui_.Info("simulated pod: no board is programmed");
    }
    library_.emplace(*backend_.library, interrupted_);
    pod_ = std::make_unique<CUsbPod>(*library_, *clock_, image);
    if (!choice_.tracePath.empty() || ui_.Verbose()) {
        pod_->SetWireTrace(&trace_);
    }
    operations_ = std::make_unique<ProgrammerCommands>(*pod_, image, *clock_, ui_);
    operations_->SetPodClaim([this] { return ClaimPod() == kExitSuccess; });
    pod_->LoadDriverLibrary();
    return kExitSuccess;
}

int PodSession::Finish(int status) {
    ui_.Finish();
    if (pod_) {
        // Normally closed by the command already; after an interruption make sure.
        pod_->Close();
    }
    ReportSpoiltBytes(status);
    lock_.Release();
    // A board whose state could not be saved after it was reported then.
    if (stateFailure_.empty() && !SaveState() && status == kExitSuccess) {
        status = kExitFailed;
    }
    if (Interrupted()) {
        // A run stopped before it ever opened the pod (waiting for a lock) closed nothing.
        ui_.Error(pod_ && pod_->WasOpened() ? "vantix-cli: interrupted; the pod is closed"
                                            : "vantix-cli: interrupted");
        return InterruptedExit(environment_);
    }
    return status;
}

bool PodSession::SaveState() {
    std::string error;
    if (SaveSimulatedStates(backend_, backendOptions_, error)) {
        return true;
    }
    stateFailure_ = "cannot save the simulated pod's state to " + error;
    ui_.Error("vantix-cli: " + stateFailure_);
    return false;
}

void PodSession::ReportUnreachable() {
    if (!library_ || claimRefused_) {
        return;
    }
    // A library that tried others names each one in its reason already.
    const std::string reason = library_->LastError();
    // The USB claim is the second guard after the lock file: another process (perhaps of
    // another user) holds the pod. Said as the lock says it.
    if (reason.find(" is in use by another program") != std::string::npos) {
        ui_.Error("vantix-cli: pod " +
                  (podSerial_.empty() ? std::string(CUsbPod::kPodDescription) : podSerial_) +
                  " is in use by another process");
        return;
    }
    const std::string name = std::string(library_->Name()) + ": ";
    if (!reason.empty()) {
        ui_.Error("vantix-cli: " + (reason.rfind(name, 0) == 0 ? reason : name + reason));
    }
}

void PodSession::ReportSpoiltBytes(int status) {
    if (status == kExitSuccess || !library_ || Interrupted()) {
        return;
    }
    const std::string reason = library_->LastError();
    if (reason.find(kPodBytesText) == std::string::npos) {
        return;
    }
    const std::string name = std::string(library_->Name()) + ": ";
    ui_.Error("vantix-cli: " + (reason.rfind(name, 0) == 0 ? reason : name + reason));
}

std::uint32_t PodSession::ElapsedMs() const {
    return clock_ ? clock_->TickMs() - startMs_ : 0;
}

int PodSession::ClaimPod() {
    claimStatus_ = TryClaimPod();
    claimRefused_ = claimStatus_ != kExitSuccess;
    return claimStatus_;
}

namespace {

// The serial numbers of the attached pods, separated by ", ".
std::string PodSerials(const std::vector<AttachedDevice>& devices, std::size_t& count) {
    std::string serials;
    count = 0;
    for (const AttachedDevice& device : devices) {
        if (device.description == CUsbPod::kPodDescription) {
            serials += (serials.empty() ? "" : ", ") + device.serial;
            ++count;
        }
    }
    return serials;
}

}  // namespace

int PodSession::FindPod(bool& found) {
    podSerial_.clear();
    std::vector<AttachedDevice> devices;
    std::string error;
    const bool listed = ListAttachedDevices(*library_, devices, error);
    const std::string& wanted = choice_.serial;
    found = false;
    for (std::size_t i = 0; listed && !found && i < devices.size(); ++i) {
        if (devices[i].description == CUsbPod::kPodDescription &&
            (wanted.empty() || devices[i].serial == wanted)) {
            podSerial_ = devices[i].serial;
            found = true;
        }
    }
    std::size_t pods = 0;
    const std::string attached = PodSerials(devices, pods);
    if (!wanted.empty() && !found) {
        ui_.Error("vantix-cli: no pod with serial number " + wanted + " is attached; " +
                  (!listed            ? "the devices cannot be listed: " + error
                   : attached.empty() ? std::string("no pod is attached")
                                      : "attached pods: " + attached));
        podSerial_.clear();
        return kExitUnreachable;
    }
    // With several pods attached, the first is no choice: a station would program a board
    // on another station's pod.
    if (found && wanted.empty() && pods > 1) {
        ui_.Error("vantix-cli: " + std::to_string(pods) + " pods are attached (" + attached +
                  "); name one with --pod SERIAL");
        podSerial_.clear();
        return kExitInputError;
    }
    return kExitSuccess;
}

int PodSession::TryClaimPod() {
    bool found = false;
    if (const int status = FindPod(found); status != kExitSuccess || !found) {
        return status;  // no pod: the command says so in its own words
    }
    std::string error;
    const std::string& wanted = choice_.serial;
    // A library that lists no serial numbers still has one pod to lock.
    const std::string key = podSerial_.empty() ? CUsbPod::kPodDescription : podSerial_;
    // A simulated pod without a state file belongs to this process alone.
    if (!choice_.sim.simulate || !choice_.sim.statePath.empty()) {
        switch (lock_.Acquire(
            PodLock::KeyFor(key, choice_.sim.simulate ? &choice_.sim.statePath : nullptr), error)) {
            case PodLock::Result::Locked:
                break;
            case PodLock::Result::InUse:
                ui_.Error("vantix-cli: pod " + key + " is in use by another process");
                return kExitUnreachable;
            case PodLock::Result::Failed:
                ui_.Error("vantix-cli: pod " + key + " cannot be locked: " + error);
                return kExitUnreachable;
        }
    }
    if (std::string reason; !choice_.tracePath.empty() && !trace_.IsOpen() &&
                            !trace_.OpenFile(choice_.tracePath, reason)) {
        ui_.Error("vantix-cli: cannot write the trace file " + choice_.tracePath + " (" + reason +
                  ")");
        return kExitInputError;
    }
    pod_->SetWantedSerial(wanted);
    return kExitSuccess;
}
