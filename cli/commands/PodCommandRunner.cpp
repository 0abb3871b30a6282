#include "commands/PodCommandRunner.h"

#include <sstream>

#include "AttachedDevices.h"
#include "PodInfoRecord.h"
#include "ResolvedPath.h"
#include "SFileImage.h"
#include "commandline/CliExit.h"
#include "commandline/CliOptions.h"
#include "commandline/CommandTable.h"
#include "commands/CliEnvironment.h"
#include "commands/ConsoleUi.h"
#include "commands/ImageLoading.h"
#include "commands/PodInfoPrinter.h"
#include "commands/PodSession.h"
#include "commands/SerialPatch.h"
#include "records/ImageDigests.h"
#include "records/JsonText.h"
#include "station/BoardPrompt.h"
#include "station/StationFiles.h"

PodCommandRunner::PodCommandRunner(const CliOptions& options, const CliEnvironment& environment,
                                   ConsoleUi& ui, std::ostream& out)
    : options_(options), environment_(environment), ui_(ui), out_(out), boardId_(options.boardId) {}

namespace {

bool IsTargetCommand(CliCommand command) {
    return command == CliCommand::Write || command == CliCommand::WriteVerify ||
           command == CliCommand::Verify;
}

// The regions a command works on: the ticked rows for the target commands, every row for
// the pod's EEPROM.
std::vector<RunRecord::Region> UsedRegions(const SFileImage& image,
                                           const std::vector<RegionRow>& rows,
                                           const std::vector<RegionListItem>& items,
                                           bool onlyTicked) {
    std::vector<RunRecord::Region> used;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (onlyTicked && !items[i].ticked) {
            continue;
        }
        used.push_back(RegionRecord(image, rows[i]));
    }
    return used;
}

}  // namespace

int PodCommandRunner::Run() {
    // Nothing is written before every file the run writes is known to be apart from the
    // files it reads, and the simulated pods' state has somewhere to go.
    for (const std::string& problem : {FileClash(options_), StateFolderProblem(options_)}) {
        if (!problem.empty()) {
            ui_.Error("vantix-cli: " + problem);
            return kExitInputError;
        }
    }
    if (!options_.logPath.empty() && options_.command != CliCommand::List) {
        std::string error;
        if (!log_.Open(options_.logPath, error)) {
            ui_.Error("vantix-cli: " + error);
            return kExitInputError;
        }
    }
    switch (options_.command) {
        case CliCommand::Reset:
            return RunReset();
        case CliCommand::PodInfo:
            return RunPodInfo();
        case CliCommand::List:
            return RunList();
        case CliCommand::Erase:
        case CliCommand::BlankCheck:
            return RunWholeRegions();
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
                error = UnknownRegionText(name);
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
    RunRecord record;
    record.command = SpecOf(options_.command).name;
    record.file = AbsolutePath(*options_.file);
    SFileImage image;
    std::vector<RegionRow> rows;
    std::string sha256;
    int status =
        LoadImageFile(*options_.file, *options_.cpu, options_.strict, image, rows, ui_, &sha256);
    if (!sha256.empty()) {
        record.sha256 = sha256;
    }
    record.warnings = image.diagnostics.Count();
    std::string error;
    SerialPatch serial;
    if (status == kExitSuccess) {
        status = serial.Prepare(options_, image, rows, ui_);
    }
    if (status != kExitSuccess) {
        return Record(record, status);
    }
    record.cpu = CpuName(image.cpu);
    std::vector<RegionListItem> items;
    if (!BuildRegionList(rows, options_.regions ? &*options_.regions : nullptr, items, error)) {
        ui_.Error("vantix-cli: " + error);
        return Record(record, kExitInputError);
    }
    if (serial.CheckTicked(items, ui_) != kExitSuccess) {
        return Record(record, kExitInputError);
    }
    record.regions = UsedRegions(image, rows, items, IsTargetCommand(options_.command));
    // The board's number goes into the image before the board is touched; its record shows
    // the regions as written.
    const auto takeSerial = [&] {
        if (!serial.Active()) {
            return true;
        }
        record.serial.reset();
        record.serialAt.reset();
        if (!serial.NextBoard(image, ui_)) {
            return false;
        }
        record.serial = serial.Number();
        record.serialAt = serial.AtText();
        record.regions = UsedRegions(image, rows, items, IsTargetCommand(options_.command));
        return true;
    };
    if (!rows.empty()) {
        ui_.Info("Reading S File is OK !!!");
    }

    PodSession session(options_, environment_, ui_);
    status = session.Start(image);
    if (status != kExitSuccess) {
        return Record(record, status);
    }
    if (!options_.repeat) {
        const std::uint32_t startMs = session.ElapsedMs();
        if (!takeSerial()) {
            status = session.Finish(kExitInputError);
            Conclude(record, nullptr, session, startMs);
            return Record(record, status);
        }
        const CommandOutcome outcome = RunOnce(session.Commands(), items, rows.size());
        status = session.Finish(ExitFor(outcome, session));
        Conclude(record, &outcome, session, startMs);
        return Record(record, status);
    }

    // Board after board until the operator has had enough; each board is a record.
    BoardPrompt prompt(environment_.input, environment_.interrupted);
    int passed = 0;
    int failed = 0;
    bool noNumber = false;
    int unreachable = kExitSuccess;  // the pod could not be reached (3) or chosen (2)
    for (;;) {
        ui_.ForgetLastMessage();
        const std::uint32_t startMs = session.ElapsedMs();
        if (!takeSerial()) {
            // No number for this board (counter unreadable, width used up): the line stops.
            noNumber = true;
            Conclude(record, nullptr, session, startMs);
            Record(record, kExitInputError);
            break;
        }
        const CommandOutcome outcome = RunOnce(session.Commands(), items, rows.size());
        status = ExitFor(outcome, session);
        session.ReleasePod();
        if (session.Interrupted()) {
            status = InterruptedExit(environment_);
        }
        ++(status == kExitSuccess ? passed : failed);
        Conclude(record, &outcome, session, startMs);
        Record(record, status);
        ui_.Finish();
        ui_.Error("boards: " + std::to_string(passed) + " passed, " + std::to_string(failed) +
                  " failed");
        if (outcome.kind == CommandOutcome::Kind::Unreachable && !session.Interrupted()) {
            // A pod that has gone (or was never there) programs no further board.
            unreachable = status;
            break;
        }
        if (session.Interrupted() || recordLost_) {
            break;
        }
        prompt.DiscardTypeAhead();
        ui_.Info("Next board: press Enter (q and Enter to stop)");
        if (!prompt.NextBoardWanted(boardId_)) {
            break;
        }
    }
    // Every board passed: 0; any failed: 1; no serial number for a board: 2; the pod gone: 3
    // (or 2 when the options name no one pod); a record lost: 4; a signal, at a board or at
    // the prompt: 128 + the signal.
    return session.Finish(recordLost_                    ? kExitRecordLost
                          : noNumber                     ? kExitInputError
                          : unreachable != kExitSuccess  ? unreachable
                          : failed == 0                  ? kExitSuccess
                                                         : kExitFailed);
}

CommandOutcome PodCommandRunner::RunOnce(ProgrammerCommands& commands,
                                         const std::vector<RegionListItem>& items,
                                         std::size_t rowCount) {
    switch (options_.command) {
        case CliCommand::Write:
            return commands.RunTarget(TargetCommand::Write, items, options_.eraseAllBoot,
                                      options_.resetAfter);
        case CliCommand::WriteVerify:
            return commands.RunTarget(TargetCommand::WriteVerify, items, options_.eraseAllBoot,
                                      options_.resetAfter);
        case CliCommand::Verify:
            return commands.RunTarget(TargetCommand::Verify, items, false, options_.resetAfter);
        case CliCommand::PodWrite:
            return commands.RunPod(PodCommand::Write, rowCount, options_.eraseAllBoot,
                                   options_.resetAfter);
        default:
            return commands.RunPod(PodCommand::Verify, rowCount, false, false);
    }
}

void PodCommandRunner::Conclude(RunRecord& record, const CommandOutcome* outcome,
                                PodSession& session, std::uint32_t startMs) {
    record.pod.reset();
    if (!session.PodSerial().empty()) {
        record.pod = session.PodSerial();
    }
    record.result.reset();
    record.status = ui_.LastMessage();
    if (outcome != nullptr && (outcome->kind == CommandOutcome::Kind::Failed ||
                               outcome->kind == CommandOutcome::Kind::Succeeded ||
                               outcome->kind == CommandOutcome::Kind::ResetFailed)) {
        record.result = outcome->result;
        if (outcome->kind != CommandOutcome::Kind::ResetFailed) {
            record.status = outcome->statusText;
        }
    }
    record.seconds = (session.ElapsedMs() - startMs) * 0.001;
}

bool PodCommandRunner::Interrupted() const {
    return environment_.interrupted != nullptr && environment_.interrupted->load();
}

int PodCommandRunner::Record(RunRecord& record, int status) {
    if (record.status.empty()) {
        record.status = ui_.LastMessage();
    }
    if (Interrupted()) {
        // The step that was cut short did not fail: say what happened.
        record.status = "interrupted";
        record.result.reset();
    }
    record.board.reset();
    if (!boardId_.empty()) {
        record.board = boardId_;
    }
    record.exitCode = status;
    std::string error;
    if (log_.IsOpen() &&
        !log_.Append(RunLogJson(record, RunLog::UtcNow(), RunLog::HostName()), error)) {
        recordLost_ = true;
        if (!Interrupted()) {
            status = kExitRecordLost;
        }
        record.exitCode = status;
    }
    if (options_.json) {
        out_ << RunRecordJson(record) << '\n';
        out_.flush();
    }
    if (recordLost_) {
        ui_.Finish();
        ui_.Error("vantix-cli: " + error);
        ui_.Error("vantix-cli: the record of this board is missing from the log " +
                  options_.logPath + "; stopping");
    }
    return status;
}

int PodCommandRunner::RunReset() {
    RunRecord record;
    record.command = SpecOf(options_.command).name;
    SFileImage image;
    PodSession session(options_, environment_, ui_);
    int status = session.Start(image);
    if (status != kExitSuccess) {
        return Record(record, status);
    }
    const std::uint32_t startMs = session.ElapsedMs();
    const CommandOutcome outcome = session.Commands().TargetReset();
    status = session.Finish(ExitFor(outcome, session));
    Conclude(record, nullptr, session, startMs);
    return Record(record, status);
}

int PodCommandRunner::RunPodInfo() {
    RunRecord record;
    record.command = SpecOf(options_.command).name;
    // The record is printed, not compared, so no file is needed.
    SFileImage image;
    PodSession session(options_, environment_, ui_);
    int status = session.Start(image);
    if (status != kExitSuccess) {
        return Record(record, status);
    }
    const std::uint32_t startMs = session.ElapsedMs();
    if (!session.Commands().ConnectPod()) {
        session.ReportUnreachable();
        status = session.Finish(session.ClaimRefused() ? session.ClaimStatus() : kExitUnreachable);
        Conclude(record, nullptr, session, startMs);
        return Record(record, status);
    }
    // With --json the record's lines go into the JSON object, which is all stdout holds.
    std::stringstream lines;
    PodInfoPrinter printer(options_.json ? lines : out_, ui_);
    CUsbPod& pod = session.Pod();
    pod.SetIndicators(ui_.Status(), ui_.Progress(), printer);
    PodInfoRecord stored;
    const PodResult result = pod.ReadPodInfo(&stored);
    pod.Close();
    if (result != kPodOk) {
        ui_.Error(ProgrammerCommands::PodVerifyErrorText(result));
        status = session.Finish(kExitFailed);
    } else {
        status = session.Finish(kExitSuccess);
    }
    Conclude(record, nullptr, session, startMs);
    record.result = result;
    record.status = result != kPodOk ? ProgrammerCommands::PodVerifyErrorText(result) : "";
    for (std::string line; std::getline(lines, line);) {
        record.info.push_back(line);
    }
    if (result == kPodOk) {
        // The record describes the pod's image, as the lines above do.
        if (stored.cpu <= static_cast<std::uint8_t>(CpuType::DSP56F807)) {
            record.cpu = CpuName(static_cast<CpuType>(stored.cpu));
        }
        for (const MemoryRegion region : kAllRegions) {
            const PodInfoRecord::Extent& extent = stored.Region(region);
            if (extent.length != 0 && CpuHasRegion(static_cast<CpuType>(stored.cpu), region)) {
                RunRecord::Region entry;  // no crc32: only the pod's record tells
                entry.name = RegionName(region);
                entry.start = extent.start;
                entry.end = extent.end;
                entry.words = extent.length;
                record.regions.push_back(entry);
            }
        }
    }
    return Record(record, status);
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
    std::string array = "[";
    for (const AttachedDevice& device : devices) {
        const bool pod = device.problem.empty() && device.description == CUsbPod::kPodDescription;
        if (options_.json) {
            JsonObject json;
            json.Number("index", device.index)
                .Text("serial", device.serial)
                .Text("description", device.description)
                .Boolean("pod", pod);
            if (!device.problem.empty()) {
                json.Text("problem", device.problem);
            }
            if (array.size() > 1) {
                array += ',';
            }
            array += json.Close();
            continue;
        }
        out_ << device.index << '\t' << device.serial << '\t' << device.description << '\t'
             << (pod ? "pod" : "not a pod");
        if (!device.problem.empty()) {
            out_ << '\t' << device.problem;
        }
        out_ << '\n';
    }
    if (options_.json) {
        out_ << array << "]\n";
    }
    if (devices.empty()) {
        // As for every other command, no device is an unreachable pod; the list stays empty.
        ui_.Error("No FTDI device is attached");
        return session.Finish(kExitUnreachable);
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
            return session.ClaimRefused() ? session.ClaimStatus() : kExitUnreachable;
        case CommandOutcome::Kind::Failed:
            // The failure's status text is the error; print it unless it already showed, or
            // the step failed only because it was interrupted.
            if (!outcome.statusText.empty() && !Interrupted() &&
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
