#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "BlankRegion.h"
#include "ChangedPages.h"
#include "CommandOutcome.h"
#include "OperationUi.h"
#include "PodResult.h"
#include "RegionListItem.h"
#include "RegionSelection.h"

class CUsbPod;
class Clock;
class SFileImage;

enum class TargetCommand { Write, WriteVerify, Verify };
enum class PodCommand { Write, Verify };

// The operation buttons: checks, refusals, opening the pod, lamps, busy state, timing,
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
    // With changedPages, Write and WriteVerify erase and write only the pages that differ
    // from the image and report each region's counts there (the window never asks).
    CommandOutcome RunTarget(TargetCommand command, const std::vector<RegionListItem>& list,
                             bool eraseAllBoot, bool resetAfterWrite,
                             std::vector<ChangedPages>* changedPages = nullptr);
    CommandOutcome RunPod(PodCommand command, std::size_t listRowCount, bool eraseAllBoot,
                          bool resetAfterWrite);
    // Whole regions of the CPU's memory map, with the target commands' refusal of a
    // DSP56F801, lamps, busy state and timing.
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
    // One command around its sequence, and what it says afterwards.
    struct Operation {
        // The blue text that refuses the command before the pod is touched, or null.
        std::function<const char*()> refusal;
        std::function<PodResult()> sequence;
        std::string completedText;  // the status text before the elapsed time
        const char* succeededText = "";
        std::function<const char*(PodResult)> failureText;
        // After success the pod stays open for the reset after writing.
        bool keepOpenAfterSuccess = false;
    };
    // Refuses a DSP56F801 and what the operation refuses, connects, begins the sequence,
    // times it, closes the pod (unless kept open), sets the status and the form idle.
    CommandOutcome Run(const Operation& operation);
    // Lamps off, busy, displays handed to the pod.
    void BeginSequence();
    // Status text with an immediate repaint, and the progress bar back to 0.
    void ShowStatus(const std::string& text, CommandOutcome* outcome);
    bool ResetAndClose();
    // "%.2f sec" of the time between two ticks, and the seconds.
    static std::string ElapsedText(std::uint32_t start, std::uint32_t end, double* seconds);

    CUsbPod& pod_;
    const SFileImage& image_;
    Clock& clock_;
    OperationUi& ui_;
    std::function<bool()> claim_;
};
