#pragma once

#include <atomic>
#include <memory>
#include <optional>

#include "BackendSelection.h"
#include "CUsbPod.h"
#include "Clock.h"
#include "InterruptibleD2xxLibrary.h"
#include "ProgrammerCommands.h"
#include "TraceLog.h"

class ConsoleUi;
class SFileImage;
struct CliEnvironment;
struct CliOptions;

// One run's pod: the clock, the backend the options choose, the driver over it with Ctrl+C
// wired in, the wire trace and the shared operation commands. The simulated pod's state is
// saved when the session ends.
class PodSession {
public:
    PodSession(const CliOptions& options, const CliEnvironment& environment, ConsoleUi& ui);
    ~PodSession();
    PodSession(const PodSession&) = delete;
    PodSession& operator=(const PodSession&) = delete;

    // Makes the backend and the driver for the image; loads the driver library as the
    // window does at start-up. Returns kExitSuccess, or kExitInputError after reporting
    // (an unwritable trace file, an unreadable simulation state).
    int Start(const SFileImage& image);

    CUsbPod& Pod() { return *pod_; }
    ProgrammerCommands& Commands() { return *commands_; }
    D2xxLibrary& Library() { return *library_; }
    bool Interrupted() const { return interrupted_.load(); }

    // Saves the simulated pod's state and turns an interruption into its exit status.
    int Finish(int status);
    // The reason the library did not load, or why the pod was not found, when known.
    void ReportUnreachable();

private:
    const CliOptions& options_;
    const CliEnvironment& environment_;
    ConsoleUi& ui_;
    std::atomic<bool> neverInterrupted_{false};
    const std::atomic<bool>& interrupted_;

    std::unique_ptr<Clock> clock_;
    D2xxBackend backend_;
    std::optional<InterruptibleD2xxLibrary> library_;
    TraceLog trace_;
    std::unique_ptr<CUsbPod> pod_;
    std::unique_ptr<ProgrammerCommands> commands_;
};
