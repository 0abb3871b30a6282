#pragma once

#include <atomic>
#include <memory>
#include <optional>

#include "BackendSelection.h"
#include "CUsbPod.h"
#include "Clock.h"
#include "ProgrammerCommands.h"
#include "run/InterruptibleD2xxLibrary.h"
#include "run/TraceLog.h"
#include "station/PodLock.h"

class ConsoleUi;
class SFileImage;
struct CliEnvironment;
struct PodChoice;

// One run's pod: the clock, the backend the options choose, the driver over it with Ctrl+C
// wired in, the wire trace and the shared operation commands. The simulated pod's state is
// saved when the session ends.
class PodSession {
public:
    PodSession(const PodChoice& choice, const CliEnvironment& environment, ConsoleUi& ui);
    ~PodSession();
    PodSession(const PodSession&) = delete;
    PodSession& operator=(const PodSession&) = delete;

    // Makes the backend and the driver for the image; loads the driver library as the
    // window does at start-up. Returns kExitSuccess, or kExitInputError after reporting
    // (an unwritable trace file, an unreadable simulation state).
    int Start(const SFileImage& image);

    // Before a command that opens the pod: finds the pod the options name (--pod) or the
    // first one, and takes its lock so that no other process talks to it meanwhile.
    // Returns kExitSuccess (also when no pod is attached and no serial number was asked for:
    // the command then reports that as usual), or kExitUnreachable after reporting (no pod
    // with the serial number, or the pod in use by another process).
    int ClaimPod();
    // Whether the last claim refused the pod (its report is made), and the exit status it
    // gave: kExitUnreachable, or kExitInputError when the options do not name one pod or the
    // trace cannot be written.
    bool ClaimRefused() const { return claimRefused_; }
    int ClaimStatus() const { return claimStatus_; }
    // Gives the pod's lock back (the session's end does it too).
    void ReleasePod() { lock_.Release(); }
    // The serial number of the pod the session works with; empty when none was found.
    const std::string& PodSerial() const { return podSerial_; }
    // Milliseconds on the session's clock since Start.
    std::uint32_t ElapsedMs() const;

    CUsbPod& Pod() { return *pod_; }
    // The window's operations on this pod.
    ProgrammerCommands& Operations() { return *operations_; }
    D2xxLibrary& Library() { return *library_; }
    bool Interrupted() const { return interrupted_.load(); }

    // Saves the simulated pod's state and turns an interruption into its exit status.
    int Finish(int status);
    // Saves the simulated pods' state now (after a board of --repeat); false after reporting.
    bool SaveState();
    // Why the simulated pod's state could not be saved ("cannot save the simulated pod's
    // state to PATH: No space left on device"); empty while it could.
    const std::string& StateFailure() const { return stateFailure_; }
    // Why the --trace file stopped short of the wire ("No space left on device"); empty while
    // every line reached it.
    const std::string& TraceFailure() const { return trace_.Failure(); }
    // The reason the library did not load, or why the pod was not found, when known.
    void ReportUnreachable();

private:
    // A failed command whose pod's bytes were lost or garbled on the way says so.
    void ReportSpoiltBytes(int status);
    int TryClaimPod();
    // Finds the pod the options name (--pod), or the only one attached; kExitSuccess also
    // when none is attached and none was named (found is false), else the status after
    // reporting.
    int FindPod(bool& found);

    const PodChoice& choice_;
    const CliEnvironment& environment_;
    ConsoleUi& ui_;
    std::atomic<bool> neverInterrupted_{false};
    const std::atomic<bool>& interrupted_;

    std::unique_ptr<Clock> clock_;
    std::uint32_t startMs_ = 0;
    BackendOptions backendOptions_;
    D2xxBackend backend_;
    PodLock lock_;
    std::string podSerial_;
    bool claimRefused_ = false;
    int claimStatus_ = 0;
    std::optional<InterruptibleD2xxLibrary> library_;
    TraceLog trace_;
    std::unique_ptr<CUsbPod> pod_;
    std::unique_ptr<ProgrammerCommands> operations_;
    std::string stateFailure_;
};
