#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "BlankRegion.h"
#include "PodDisplays.h"
#include "RegionSelection.h"

class CUsbPod;
class Clock;
class SFileImage;

// What a front end lends the operation commands: its displays and its busy state.
class OperationUi {
public:
    virtual ~OperationUi() = default;
    virtual MessageDisplay& Messages() = 0;
    virtual StatusDisplay& Status() = 0;
    virtual ProgressDisplay& Progress() = 0;
    virtual LedDisplay& Led(int index) = 0;  // 0..3 for LED 1..4
    // Busy: operation controls disabled and the wait cursor shown; idle undoes both.
    virtual void SetBusy(bool busy) = 0;
};

// One row of the region list as the commands read it: its first column and its tick.
struct RegionListItem {
    std::string name;
    bool ticked = false;
};

enum class TargetCommand { Write, WriteVerify, Verify };
enum class PodCommand { Write, Verify };

struct CommandOutcome {
    enum class Kind {
        Refused,      // a blue message, nothing touched (unsupported CPU, no data, no selection)
        Unreachable,  // a red message from ConnectPod
        Failed,       // the sequence returned a non-zero result (status text tells which)
        Succeeded,
        ResetFailed,  // succeeded, then the reset after writing failed
    };
    Kind kind = Kind::Refused;
    std::uint16_t result = 0;  // the sequence's PodResult
    std::string statusText;    // what the status label shows afterwards ("" when unchanged)
    std::string elapsedText;   // "%.2f sec", or "" when the clock could not be read
    double seconds = 0.0;

    bool Ok() const { return kind == Kind::Succeeded; }
};

// The six operation buttons: checks, refusals, opening the pod, lamps, busy state, timing,
// result texts, the reset after writing and closing the pod. The window and the command
// line both run these, so every text comes from one place.
class ProgrammerCommands {
public:
    ProgrammerCommands(CUsbPod& pod, const SFileImage& image, Clock& clock, OperationUi& ui);

    bool ConnectPod();
    void ResetLeds();
    // Asked by ConnectPod once the driver library is there, before the pod is looked for;
    // false ends the command as unreachable with the claim's own report. The command line
    // uses it to take one pod of several and lock it against other processes.
    void SetPodClaim(std::function<bool()> claim) { claim_ = std::move(claim); }

    CommandOutcome TargetReset();
    CommandOutcome RunTarget(TargetCommand command, const std::vector<RegionListItem>& list,
                             bool eraseAllBoot, bool resetAfterWrite);
    CommandOutcome RunPod(PodCommand command, std::size_t listRowCount, bool eraseAllBoot,
                          bool resetAfterWrite);
    // Whole regions of the CPU's memory map (EraseCommands.cpp), with the target commands'
    // refusal of a DSP56F801, lamps, busy state and timing.
    CommandOutcome RunErase(const RegionSelection& selection, bool eraseAllBoot);
    CommandOutcome RunBlankCheck(const RegionSelection& selection,
                                 std::vector<BlankRegion>& report);
    static constexpr const char* kNotBlankText = "Flash is not blank";
    static constexpr const char* kUnsupportedCpuText = "Not currently support DSP56F801";

    // Status texts of the results.
    static const char* TargetErrorText(std::uint16_t result);
    static const char* PodWriteErrorText(std::uint16_t result);
    static const char* PodVerifyErrorText(std::uint16_t result);
    // What ConnectPod reports when the library or the pod is missing; the window's start-up
    // check reports the same.
    static constexpr const char* kNoLibraryText = "Fail to load FTD2XX.DLL file";
    static constexpr const char* kNoPodText = "Not connect to USB Programmer";

private:
    // Lamps off, busy, displays handed to the pod.
    void BeginSequence();
    // Status text with an immediate repaint, and the progress bar back to 0.
    void ShowStatus(const std::string& text, CommandOutcome* outcome);
    // "%.2f sec" of the time between two ticks, and the seconds.
    static std::string ElapsedText(std::uint32_t start, std::uint32_t end, double* seconds);

    CUsbPod& pod_;
    const SFileImage& image_;
    Clock& clock_;
    OperationUi& ui_;
    std::function<bool()> claim_;
};
