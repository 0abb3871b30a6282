#include "CUsbPod.h"
#include "Clock.h"
#include "PodResult.h"
#include "ProgrammerCommands.h"
#include "RegionProtocol.h"
#include "SFileImage.h"

namespace {

// One run of a whole-region sequence: refused for a DSP56F801, else the pod opened, the
// lamps and displays set up, the sequence timed and the pod closed.
template <typename Sequence>
CommandOutcome RunWholeRegions(ProgrammerCommands& commands, CUsbPod& pod, const SFileImage& image,
                               OperationUi& ui, Sequence sequence) {
    CommandOutcome outcome;
    if (image.cpu == CpuType::DSP56F801) {
        ui.Messages().AddMessage(ProgrammerCommands::kUnsupportedCpuText, kColourBlue);
        return outcome;
    }
    if (!commands.ConnectPod()) {
        outcome.kind = CommandOutcome::Kind::Unreachable;
        return outcome;
    }
    sequence(outcome);
    pod.Close();
    ui.SetBusy(false);
    return outcome;
}

}  // namespace

CommandOutcome ProgrammerCommands::RunErase(const RegionSelection& selection, bool eraseAllBoot) {
    return RunWholeRegions(*this, pod_, image_, ui_, [&](CommandOutcome& outcome) {
        BeginSequence();
        const std::uint32_t start = clock_.TickMs();
        outcome.result = pod_.EraseTarget(selection, eraseAllBoot);
        outcome.elapsedText = ElapsedText(start, clock_.TickMs(), &outcome.seconds);
        if (outcome.result == kPodOk) {
            ShowStatus("Flash Erase Completed - " + outcome.elapsedText, &outcome);
            ui_.Messages().AddMessage("Flash Erasing is OK !!!", kColourGreen);
            outcome.kind = CommandOutcome::Kind::Succeeded;
        } else {
            ShowStatus(TargetErrorText(outcome.result), &outcome);
            outcome.kind = CommandOutcome::Kind::Failed;
        }
    });
}

CommandOutcome ProgrammerCommands::RunBlankCheck(const RegionSelection& selection,
                                                 std::vector<BlankRegion>& report) {
    return RunWholeRegions(*this, pod_, image_, ui_, [&](CommandOutcome& outcome) {
        BeginSequence();
        const std::uint32_t start = clock_.TickMs();
        outcome.result = pod_.BlankCheckTarget(selection, report);
        outcome.elapsedText = ElapsedText(start, clock_.TickMs(), &outcome.seconds);
        if (outcome.result == kPodOk) {
            ShowStatus("Blank Check Completed - " + outcome.elapsedText, &outcome);
            ui_.Messages().AddMessage("Flash is blank !!!", kColourGreen);
            outcome.kind = CommandOutcome::Kind::Succeeded;
            return;
        }
        // Every region the pod answered for is either blank or names its differing piece;
        // one it did not answer for is a failure of the pod, as in Target Verify.
        std::uint16_t unanswered = report.empty() ? outcome.result : kPodOk;
        for (const BlankRegion& region : report) {
            if (!region.checked && unanswered == kPodOk) {
                unanswered = RegionProtocol::For(region.region).verifyError;
            }
        }
        ShowStatus(unanswered == kPodOk ? kNotBlankText : TargetErrorText(unanswered), &outcome);
        outcome.kind = CommandOutcome::Kind::Failed;
    });
}
