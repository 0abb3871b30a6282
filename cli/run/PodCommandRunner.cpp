#include "run/PodCommandRunner.h"

#include <sstream>

#include "AttachedDevices.h"
#include "CliExit.h"
#include "PodInfoRecord.h"
#include "SFileImage.h"
#include "commandline/CliOptions.h"
#include "records/JsonText.h"
#include "run/BoardLoop.h"
#include "run/ConsoleUi.h"
#include "run/OutputFailure.h"
#include "run/PodInfoPrinter.h"
#include "run/PodRun.h"

namespace {

// What the pod's record of its stored image says, as the record of the run.
void RecordStoredImage(const PodInfoRecord& stored, RunRecord& record) {
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

void WriteDevice(std::ostream& out, const AttachedDevice& device, bool pod) {
    out << device.index << '\t' << device.serial << '\t' << device.description << '\t'
        << (pod ? "pod" : "not a pod");
    if (!device.problem.empty()) {
        out << '\t' << device.problem;
    }
    out << '\n';
}

std::string DeviceJson(const AttachedDevice& device, bool pod) {
    JsonObject json;
    json.Number("index", device.index)
        .Text("serial", device.serial)
        .Text("description", device.description)
        .Boolean("pod", pod);
    if (!device.problem.empty()) {
        json.Text("problem", device.problem);
    }
    return json.Close();
}

}  // namespace

PodCommandRunner::PodCommandRunner(const CliOptions& options, const BoardCommand& board,
                                   const CliEnvironment& environment, ConsoleUi& ui,
                                   std::ostream& out)
    : options_(options),
      environment_(environment),
      ui_(ui),
      out_(out),
      board_(board),
      recorder_(board_, options, environment, ui, out) {}

int PodCommandRunner::Run() {
    if (options_.command != CliCommand::PodInfo && options_.command != CliCommand::List) {
        return RunOnOnePod(options_, board_, environment_, ui_, out_);
    }
    if (const int status = OpenRun(options_, board_, recorder_, ui_); status != kExitSuccess) {
        return status;
    }
    return options_.command == CliCommand::PodInfo ? RunPodInfo() : RunList();
}

int PodCommandRunner::RunPodInfo() {
    // The record is printed, not compared, so no file is needed.
    PodRun run(board_, options_.pod, environment_, ui_, recorder_);
    if (const int status = run.Start(); status != kExitSuccess) {
        return run.Refuse(status);
    }
    if (!run.Operations().ConnectPod()) {
        return run.Finish(run.Unreachable(), nullptr);
    }
    // With --json the record's lines go into the JSON object, which is all stdout holds.
    std::stringstream lines;
    PodInfoPrinter printer(options_.json ? lines : out_, ui_);
    CUsbPod& pod = run.Session().Pod();
    pod.SetIndicators(ui_.Status(), ui_.Progress(), printer);
    PodInfoRecord stored;
    const PodResult result = pod.ReadPodInfo(&stored);
    pod.Close();
    if (result != kPodOk) {
        ui_.Error(ProgrammerCommands::PodVerifyErrorText(result));
    }
    const int status = run.Session().Finish(result != kPodOk ? kExitFailed : kExitSuccess);
    run.Conclude(nullptr);
    RunRecord& record = run.Record();
    record.result = result;
    record.status = result != kPodOk ? ProgrammerCommands::PodVerifyErrorText(result) : "";
    for (std::string line; std::getline(lines, line);) {
        record.info.push_back(line);
    }
    if (result == kPodOk) {
        // The record describes the pod's image, as the lines above do.
        RecordStoredImage(stored, record);
    }
    return run.Keep(status);
}

int PodCommandRunner::RunList() {
    // The list is no board's work: it keeps no record.
    PodRun run(board_, options_.pod, environment_, ui_, recorder_);
    PodSession& session = run.Session();
    if (const int status = run.Start(); status != kExitSuccess) {
        return status;
    }
    std::vector<AttachedDevice> devices;
    std::string error;
    if (!ListAttachedDevices(session.Library(), devices, error)) {
        ui_.Error("vantix-cli: " + error);
        return session.Finish(kExitUnreachable);
    }
    std::string array;
    for (const AttachedDevice& device : devices) {
        const bool pod = device.problem.empty() && device.description == CUsbPod::kPodDescription;
        if (options_.json) {
            array += (array.empty() ? "" : ",") + DeviceJson(device, pod);
        } else {
            WriteDevice(out_, device, pod);
        }
    }
    if (options_.json) {
        out_ << "[" << array << "]\n";
    }
    if (const std::string failure = OutputFailure(out_); !failure.empty()) {
        ui_.Error("vantix-cli: " + failure);
        return session.Finish(kExitInputError);
    }
    if (devices.empty()) {
        // As for every other command, no device is an unreachable pod; the list stays empty.
        ui_.Error("No FTDI device is attached");
        return session.Finish(kExitUnreachable);
    }
    return session.Finish(kExitSuccess);
}
