#include "ProgrammerCommands.h"

#include <charconv>

#include "CUsbPod.h"
#include "Clock.h"
#include "PodResult.h"
#include "RegionProtocol.h"
#include "RegionSelection.h"
#include "SFileImage.h"

namespace {

struct TargetTexts {
    const char* noData;
    const char* select;
    const char* completed;
    const char* succeeded;
};

const TargetTexts& TextsFor(TargetCommand command) {
    static const TargetTexts kWrite{"There is no S File data to write into flash",
                                    "Please, select list item for flash writing",
                                    "Flash Write Completed - ", "Flash Writing is OK !!!"};
    static const TargetTexts kWriteVerify{"There is no S File data to write && verify",
                                          "Please, select list item for flash writing && verifying",
                                          "Flash Write && Verify Completed - ",
                                          "Flash Writing && Verifying is OK !!!"};
    static const TargetTexts kVerify{"There is no S File data to verify with flash",
                                     "Please, select list item for flash verifying",
                                     "Flash Verify Completed - ", "Flash Verifying is OK !!!"};
    switch (command) {
        case TargetCommand::Write:
            return kWrite;
        case TargetCommand::WriteVerify:
            return kWriteVerify;
        case TargetCommand::Verify:
            break;
    }
    return kVerify;
}

// A region's byte for every ticked row that names it exactly; false when none does.
bool SelectTicked(const std::vector<RegionListItem>& list, RegionSelection& selection) {
    bool any = false;
    for (const RegionListItem& item : list) {
        const auto region = RegionFromName(item.name);
        if (region && item.ticked) {
            selection[RegionIndex(*region)] = 1;
            any = true;
        }
    }
    return any;
}

// Every region the pod answered for is either blank or names its differing piece; one it
// did not answer for is a failure of the pod, as in Target Verify.
const char* BlankCheckFailureText(PodResult result, const std::vector<BlankRegion>& report) {
    std::uint16_t unanswered = report.empty() ? result : kPodOk;
    for (const BlankRegion& region : report) {
        if (!region.checked && unanswered == kPodOk) {
            unanswered = RegionProtocol::For(region.region).verifyError;
        }
    }
    return unanswered == kPodOk ? ProgrammerCommands::kNotBlankText
                                : ProgrammerCommands::TargetErrorText(unanswered);
}

constexpr const char* kResetOk = "Target board reset is OK !!!";
constexpr const char* kResetFailed = "Fail to reset target board";

}  // namespace

std::string ProgrammerCommands::ElapsedText(std::uint32_t start, std::uint32_t end,
                                            double* seconds) {
    // Unsigned difference, so a tick counter that wraps mid-operation still measures right.
    *seconds = static_cast<std::uint32_t>(end - start) * 0.001;
    // "%.2f" as in the C locale: the window's toolkit sets the C library's locale from the
    // user's, and "7,28 sec" is not the text.
    char text[32];
    const std::to_chars_result digits =
        std::to_chars(text, text + sizeof text, *seconds, std::chars_format::fixed, 2);
    return std::string(text, digits.ptr) + " sec";
}

ProgrammerCommands::ProgrammerCommands(CUsbPod& pod, const SFileImage& image, Clock& clock,
                                       OperationUi& ui)
    : pod_(pod), image_(image), clock_(clock), ui_(ui) {}

bool ProgrammerCommands::ConnectPod() {
    // Every command closes the pod, so it is open here only when that close failed: the pod
    // was pulled out mid-command. Reusing the dead handle would fail every later command with
    // a misleading text; close it again or give it up, then find and open it afresh.
    if (pod_.IsOpen() && !pod_.Close()) {
        pod_.AbandonHandle();
    }
    MessageDisplay& messages = ui_.Messages();
    if (!pod_.HasLibrary()) {
        messages.AddMessage(kNoLibraryText, kColourRed);
        return false;
    }
    if (claim_ && !claim_()) {
        return false;
    }
    if (!pod_.FindPod()) {
        messages.AddMessage(kNoPodText, kColourRed);
        return false;
    }
    switch (pod_.Open()) {
        case kPodOpenOk:
            return true;
        case kPodOpenPortFailure:
            messages.AddMessage("Fail to open USB communication port", kColourRed);
            break;
        default:
            messages.AddMessage("Fail to initialize USB Programmer", kColourRed);
            break;
    }
    return false;
}

void ProgrammerCommands::ResetLeds() {
    for (int i = 0; i < 4; ++i) {
        LedDisplay& led = ui_.Led(i);
        led.SetActiveColor(kLedNormalLit);
        led.SetInactiveColor(kLedNormalUnlit);
        led.SetActive(false);
        led.RepaintNow();
    }
}

CommandOutcome ProgrammerCommands::TargetReset() {
    CommandOutcome outcome;
    if (!ConnectPod()) {
        outcome.kind = CommandOutcome::Kind::Unreachable;
        return outcome;
    }
    if (ResetAndClose()) {
        ui_.Messages().AddMessage(kResetOk, kColourGreen);
        outcome.kind = CommandOutcome::Kind::Succeeded;
    } else {
        ui_.Messages().AddMessage(kResetFailed, kColourRed);
        outcome.kind = CommandOutcome::Kind::Failed;
    }
    return outcome;
}

bool ProgrammerCommands::ResetAndClose() {
    const bool reset = pod_.ResetTarget();
    pod_.Close();
    return reset;
}

CommandOutcome ProgrammerCommands::Run(const Operation& operation) {
    MessageDisplay& messages = ui_.Messages();
    CommandOutcome outcome;
    if (image_.cpu == CpuType::DSP56F801) {
        messages.AddMessage(kUnsupportedCpuText, kColourBlue);
        return outcome;
    }
    if (const char* refusal = operation.refusal ? operation.refusal() : nullptr) {
        messages.AddMessage(refusal, kColourBlue);
        return outcome;
    }
    if (!ConnectPod()) {
        outcome.kind = CommandOutcome::Kind::Unreachable;
        return outcome;
    }

    BeginSequence();
    const std::uint32_t start = clock_.TickMs();
    outcome.result = operation.sequence();
    const std::uint32_t end = clock_.TickMs();
    outcome.elapsedText = ElapsedText(start, end, &outcome.seconds);

    if (outcome.result != kPodOk || !operation.keepOpenAfterSuccess) {
        pod_.Close();
    }
    if (outcome.result == kPodOk) {
        ShowStatus(operation.completedText + outcome.elapsedText, &outcome);
        messages.AddMessage(operation.succeededText, kColourGreen);
        outcome.kind = CommandOutcome::Kind::Succeeded;
    } else {
        ShowStatus(operation.failureText(outcome.result), &outcome);
        outcome.kind = CommandOutcome::Kind::Failed;
    }
    ui_.SetBusy(false);
    return outcome;
}

CommandOutcome ProgrammerCommands::RunTarget(TargetCommand command,
                                             const std::vector<RegionListItem>& list,
                                             bool eraseAllBoot, bool resetAfterWrite,
                                             std::vector<ChangedPages>* changedPages) {
    const TargetTexts& texts = TextsFor(command);
    RegionSelection selection{};
    Operation operation;
    operation.refusal = [&]() -> const char* {
        if (list.empty()) {
            return texts.noData;
        }
        return SelectTicked(list, selection) ? nullptr : texts.select;
    };
    operation.sequence = [&] {
        if (changedPages != nullptr && command != TargetCommand::Verify) {
            return pod_.ProgramChangedTarget(selection, command == TargetCommand::WriteVerify,
                                             eraseAllBoot, *changedPages);
        }
        switch (command) {
            case TargetCommand::Write:
                return pod_.ProgramTarget(selection, eraseAllBoot);
            case TargetCommand::WriteVerify:
                return pod_.ProgramAndVerifyTarget(selection, eraseAllBoot);
            case TargetCommand::Verify:
                break;
        }
        return pod_.VerifyTarget(selection);
    };
    operation.completedText = texts.completed;
    operation.succeededText = texts.succeeded;
    operation.failureText = TargetErrorText;
    operation.keepOpenAfterSuccess = true;
    CommandOutcome outcome = Run(operation);
    if (outcome.kind != CommandOutcome::Kind::Succeeded) {
        return outcome;
    }
    // The form is idle again before the reset after writing, as with a pod.
    if (!resetAfterWrite) {
        pod_.Close();
    } else if (!ResetAndClose()) {
        ui_.Messages().AddMessage(kResetFailed, kColourRed);
        outcome.kind = CommandOutcome::Kind::ResetFailed;
    }
    return outcome;
}

CommandOutcome ProgrammerCommands::RunPod(PodCommand command, std::size_t listRowCount,
                                          bool eraseAllBoot, bool resetAfterWrite) {
    const bool write = command == PodCommand::Write;
    Operation operation;
    operation.refusal = [&]() -> const char* {
        if (listRowCount != 0) {
            return nullptr;
        }
        return write ? "There is no S File data to write into EEPROM"
                     : "There is no S File data to verify with EEPROM";
    };
    operation.sequence = [&] {
        return write ? pod_.WritePodEeprom(eraseAllBoot, resetAfterWrite) : pod_.VerifyPodEeprom();
    };
    operation.completedText = write ? "EEPROM Write Completed - " : "EEPROM Verify Completed - ";
    operation.succeededText = write ? "EEPROM Writing is OK !!!" : "EEPROM Verifying is OK !!!";
    operation.failureText = write ? PodWriteErrorText : PodVerifyErrorText;
    return Run(operation);
}

CommandOutcome ProgrammerCommands::RunErase(const RegionSelection& selection, bool eraseAllBoot) {
    Operation operation;
    operation.sequence = [&] { return pod_.EraseTarget(selection, eraseAllBoot); };
    operation.completedText = "Flash Erase Completed - ";
    operation.succeededText = "Flash Erasing is OK !!!";
    operation.failureText = TargetErrorText;
    return Run(operation);
}

CommandOutcome ProgrammerCommands::RunBlankCheck(const RegionSelection& selection,
                                                 std::vector<BlankRegion>& report) {
    Operation operation;
    operation.sequence = [&] { return pod_.BlankCheckTarget(selection, report); };
    operation.completedText = "Blank Check Completed - ";
    operation.succeededText = "Flash is blank !!!";
    operation.failureText = [&](PodResult result) { return BlankCheckFailureText(result, report); };
    return Run(operation);
}

void ProgrammerCommands::BeginSequence() {
    ResetLeds();
    ui_.SetBusy(true);
    pod_.SetIndicators(ui_.Status(), ui_.Progress(), ui_.Messages());
    pod_.SetLeds(ui_.Led(0), ui_.Led(1), ui_.Led(2), ui_.Led(3));
}

void ProgrammerCommands::ShowStatus(const std::string& text, CommandOutcome* outcome) {
    outcome->statusText = text;
    ui_.Status().SetText(text.c_str());
    ui_.Status().RepaintNow();
    ui_.Progress().SetPos(0);
}

const char* ProgrammerCommands::TargetErrorText(std::uint16_t result) {
    static const char* const kTexts[] = {
        "",
        "Enter Debug Mode Error",
        "Firmware Download Error",
        "PFLASH Erase Error",
        "PFLASH Write Error",
        "PFLASH Verify Error",
        "P2FLASH Erase Error",
        "P2FLASH Write Error",
        "P2FLASH Verify Error",
        "BFLASH Erase Error",
        "BFLASH Write Error",
        "BFLASH Verify Error",
        "DFLASH Erase Error",
        "DFLASH Write Error",
        "DFLASH Verify Error",
    };
    return result < std::size(kTexts) ? kTexts[result] : "";
}

const char* ProgrammerCommands::PodWriteErrorText(std::uint16_t result) {
    switch (result) {
        case kEepromPflashWriteError:
            return "PFLASH EEPROM Write Error";
        case kEepromP2flashWriteError:
            return "P2FLASH EEPROM Write Error";
        case kEepromBflashWriteError:
            return "BFLASH EEPROM Write Error";
        case kEepromDflashWriteError:
            return "DFLASH EEPROM Write Error";
        case kEepromWriteError:
            return "EEPROM Write Error";
        default:
            return "";
    }
}

const char* ProgrammerCommands::PodVerifyErrorText(std::uint16_t result) {
    switch (result) {
        case kEepromPflashVerifyError:
            return "PFLASH EEPROM Verify Error";
        case kEepromP2flashVerifyError:
            return "P2FLASH EEPROM Verify Error";
        case kEepromBflashVerifyError:
            return "BFLASH EEPROM Verify Error";
        case kEepromDflashVerifyError:
            return "DFLASH EEPROM Verify Error";
        case kEepromVerifyError:
            return "EEPROM Verify Error";
        case kEepromInfoError:
            return "Fail to Get EEPROM Info.";
        case kEepromInfoMismatch:
            return "EEPROM Info. is not sameness";
        default:
            return "";
    }
}
