#include "ProgrammerCommands.h"

#include <charconv>

#include "CUsbPod.h"
#include "PodResult.h"
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

constexpr const char* kUnsupportedCpu = ProgrammerCommands::kUnsupportedCpuText;
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
    const bool reset = pod_.ResetTarget();
    pod_.Close();
    if (reset) {
        ui_.Messages().AddMessage(kResetOk, kColourGreen);
        outcome.kind = CommandOutcome::Kind::Succeeded;
    } else {
        ui_.Messages().AddMessage(kResetFailed, kColourRed);
        outcome.kind = CommandOutcome::Kind::Failed;
    }
    return outcome;
}

CommandOutcome ProgrammerCommands::RunTarget(TargetCommand command,
                                             const std::vector<RegionListItem>& list,
                                             bool eraseAllBoot, bool resetAfterWrite) {
    const TargetTexts& texts = TextsFor(command);
    MessageDisplay& messages = ui_.Messages();
    CommandOutcome outcome;

    if (image_.cpu == CpuType::DSP56F801) {
        messages.AddMessage(kUnsupportedCpu, kColourBlue);
        return outcome;
    }
    if (list.empty()) {
        messages.AddMessage(texts.noData, kColourBlue);
        return outcome;
    }
    RegionSelection selection{};
    bool any = false;
    for (const RegionListItem& item : list) {
        const auto region = RegionFromName(item.name);
        if (region && item.ticked) {
            selection[RegionIndex(*region)] = 1;
            any = true;
        }
    }
    if (!any) {
        messages.AddMessage(texts.select, kColourBlue);
        return outcome;
    }
    if (!ConnectPod()) {
        outcome.kind = CommandOutcome::Kind::Unreachable;
        return outcome;
    }

    BeginSequence();
    const std::uint32_t start = clock_.TickMs();
    switch (command) {
        case TargetCommand::Write:
            outcome.result = pod_.ProgramTarget(selection, eraseAllBoot);
            break;
        case TargetCommand::WriteVerify:
            outcome.result = pod_.ProgramAndVerifyTarget(selection, eraseAllBoot);
            break;
        case TargetCommand::Verify:
            outcome.result = pod_.VerifyTarget(selection);
            break;
    }
    const std::uint32_t end = clock_.TickMs();
    outcome.elapsedText = ElapsedText(start, end, &outcome.seconds);

    if (outcome.result == kPodOk) {
        ShowStatus(texts.completed + outcome.elapsedText, &outcome);
        messages.AddMessage(texts.succeeded, kColourGreen);
        outcome.kind = CommandOutcome::Kind::Succeeded;
    } else {
        pod_.Close();
        ShowStatus(TargetErrorText(outcome.result), &outcome);
        outcome.kind = CommandOutcome::Kind::Failed;
    }
    ui_.SetBusy(false);

    if (outcome.result == kPodOk) {
        // The form is idle again before the reset after writing, as with a pod.
        if (resetAfterWrite) {
            const bool reset = pod_.ResetTarget();
            pod_.Close();
            if (!reset) {
                messages.AddMessage(kResetFailed, kColourRed);
                outcome.kind = CommandOutcome::Kind::ResetFailed;
            }
        } else {
            pod_.Close();
        }
    }
    return outcome;
}

CommandOutcome ProgrammerCommands::RunPod(PodCommand command, std::size_t listRowCount,
                                          bool eraseAllBoot, bool resetAfterWrite) {
    const bool write = command == PodCommand::Write;
    MessageDisplay& messages = ui_.Messages();
    CommandOutcome outcome;

    if (image_.cpu == CpuType::DSP56F801) {
        messages.AddMessage(kUnsupportedCpu, kColourBlue);
        return outcome;
    }
    if (listRowCount == 0) {
        messages.AddMessage(write ? "There is no S File data to write into EEPROM"
                                  : "There is no S File data to verify with EEPROM",
                            kColourBlue);
        return outcome;
    }
    if (!ConnectPod()) {
        outcome.kind = CommandOutcome::Kind::Unreachable;
        return outcome;
    }

    BeginSequence();
    const std::uint32_t start = clock_.TickMs();
    outcome.result =
        write ? pod_.WritePodEeprom(eraseAllBoot, resetAfterWrite) : pod_.VerifyPodEeprom();
    const std::uint32_t end = clock_.TickMs();
    outcome.elapsedText = ElapsedText(start, end, &outcome.seconds);

    pod_.Close();
    if (outcome.result == kPodOk) {
        ShowStatus(std::string(write ? "EEPROM Write Completed - " : "EEPROM Verify Completed - ") +
                       outcome.elapsedText,
                   &outcome);
        messages.AddMessage(write ? "EEPROM Writing is OK !!!" : "EEPROM Verifying is OK !!!",
                            kColourGreen);
        outcome.kind = CommandOutcome::Kind::Succeeded;
    } else {
        ShowStatus(write ? PodWriteErrorText(outcome.result) : PodVerifyErrorText(outcome.result),
                   &outcome);
        outcome.kind = CommandOutcome::Kind::Failed;
    }
    ui_.SetBusy(false);
    return outcome;
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
