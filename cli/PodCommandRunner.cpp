#include "PodCommandRunner.h"

#include "AttachedDevices.h"
#include "CliExit.h"
#include "CliOptions.h"
#include "ConsoleUi.h"
#include "ImageLoading.h"
#include "PodInfoPrinter.h"
#include "PodSession.h"
#include "SFileImage.h"

PodCommandRunner::PodCommandRunner(const CliOptions& options, const CliEnvironment& environment,
                                   ConsoleUi& ui, std::ostream& out)
    : options_(options), environment_(environment), ui_(ui), out_(out) {}

int PodCommandRunner::Run() {
    switch (options_.command) {
        case CliCommand::Reset:
            return RunReset();
        case CliCommand::PodInfo:
            return RunPodInfo();
        case CliCommand::List:
            return RunList();
        default:
            return RunFileCommand();
    }
}

bool PodCommandRunner::BuildRegionList(const std::vector<RegionRow>& rows,
                                       const std::vector<std::string>* wanted,
                                       std::vector<RegionListItem>& items, std::string& error) {
    items.clear();
    std::vector<bool> ticked(rows.size(), wanted == nullptr);
    if (wanted != nullptr) {
        for (const std::string& name : *wanted) {
            const std::optional<MemoryRegion> region = RegionFromUserName(name);
            if (!region) {
                error = "unknown region '" + name + "': use PFLASH, P2FLASH, BFLASH or DFLASH";
                return false;
            }
            const RegionRow* row = FindRow(rows, *region);
            if (row == nullptr) {
                error = std::string("region ") + RegionName(*region) +
                        " is not present in the file for this CPU";
                return false;
            }
            ticked[static_cast<std::size_t>(row - rows.data())] = true;
        }
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        items.push_back({rows[i].name, ticked[i]});
    }
    return true;
}

int PodCommandRunner::RunFileCommand() {
    SFileImage image;
    std::vector<RegionRow> rows;
    int status = LoadImageFile(*options_.file, *options_.cpu, options_.strict, image, rows, ui_);
    if (status != kExitSuccess) {
        return status;
    }
    std::vector<RegionListItem> items;
    std::string error;
    if (!BuildRegionList(rows, options_.regions ? &*options_.regions : nullptr, items, error)) {
        ui_.Error("vantix-cli: " + error);
        return kExitInputError;
    }
    if (!rows.empty()) {
        ui_.Info("Reading S File is OK !!!");
    }

    PodSession session(options_, environment_, ui_);
    status = session.Start(image);
    if (status != kExitSuccess) {
        return status;
    }
    ProgrammerCommands& commands = session.Commands();
    CommandOutcome outcome;
    switch (options_.command) {
        case CliCommand::Write:
            outcome = commands.RunTarget(TargetCommand::Write, items, options_.eraseAllBoot,
                                         options_.resetAfter);
            break;
        case CliCommand::WriteVerify:
            outcome = commands.RunTarget(TargetCommand::WriteVerify, items, options_.eraseAllBoot,
                                         options_.resetAfter);
            break;
        case CliCommand::Verify:
            outcome = commands.RunTarget(TargetCommand::Verify, items, false, options_.resetAfter);
            break;
        case CliCommand::PodWrite:
            outcome = commands.RunPod(PodCommand::Write, rows.size(), options_.eraseAllBoot,
                                      options_.resetAfter);
            break;
        default:
            outcome = commands.RunPod(PodCommand::Verify, rows.size(), false, false);
            break;
    }
    return session.Finish(ExitFor(outcome, session));
}

int PodCommandRunner::RunReset() {
    SFileImage image;
    PodSession session(options_, environment_, ui_);
    const int status = session.Start(image);
    if (status != kExitSuccess) {
        return status;
    }
    return session.Finish(ExitFor(session.Commands().TargetReset(), session));
}

int PodCommandRunner::RunPodInfo() {
    // The record is printed, not compared, so no file is needed.
    SFileImage image;
    PodSession session(options_, environment_, ui_);
    const int status = session.Start(image);
    if (status != kExitSuccess) {
        return status;
    }
    if (!session.Commands().ConnectPod()) {
        session.ReportUnreachable();
        return session.Finish(kExitUnreachable);
    }
    PodInfoPrinter printer(out_, ui_);
    CUsbPod& pod = session.Pod();
    pod.SetIndicators(ui_.Status(), ui_.Progress(), printer);
    const PodResult result = pod.ReadPodInfo();
    pod.Close();
    if (result != kPodOk) {
        ui_.Error(ProgrammerCommands::PodVerifyErrorText(result));
        return session.Finish(kExitFailed);
    }
    return session.Finish(kExitSuccess);
}

int PodCommandRunner::RunList() {
    SFileImage image;
    PodSession session(options_, environment_, ui_);
    const int status = session.Start(image);
    if (status != kExitSuccess) {
        return status;
    }
    std::vector<AttachedDevice> devices;
    std::string error;
    if (!ListAttachedDevices(session.Library(), devices, error)) {
        ui_.Error("vantix-cli: " + error);
        return session.Finish(kExitUnreachable);
    }
    for (const AttachedDevice& device : devices) {
        out_ << device.index << '\t' << device.description << '\t' << device.serial;
        if (!device.problem.empty()) {
            out_ << '\t' << device.problem;
        }
        out_ << '\n';
    }
    if (devices.empty()) {
        ui_.Info("No FTDI device is attached");
    }
    return session.Finish(kExitSuccess);
}

int PodCommandRunner::ExitFor(const CommandOutcome& outcome, PodSession& session) {
    switch (outcome.kind) {
        case CommandOutcome::Kind::Refused:
            ui_.ReportRefusal();
            return kExitInputError;
        case CommandOutcome::Kind::Unreachable:
            session.ReportUnreachable();
            return kExitUnreachable;
        case CommandOutcome::Kind::Failed:
            // The failure's status text is the error; print it unless it already showed.
            if (!outcome.statusText.empty() &&
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
