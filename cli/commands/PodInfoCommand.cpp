#include "commands/PodInfoCommand.h"

#include <array>
#include <sstream>

#include "CliExit.h"
#include "PodDisplays.h"
#include "PodInfoRecord.h"
#include "commandline/CommandLineParser.h"
#include "commandline/OptionReader.h"
#include "commandline/RunOutputOptions.h"
#include "run/BoardCommand.h"
#include "run/BoardLoop.h"
#include "run/CliContext.h"
#include "run/ConsoleUi.h"
#include "run/PodRun.h"

namespace {

constexpr std::array<OptionUse, 1> kOptions = {{{&kJsonRow}}};

std::string Read(const OptionReader& reader, std::unique_ptr<CommandOptions>& options) {
    auto podInfo = std::make_unique<PodInfoOptions>();
    podInfo->json = reader.Flag(kJsonRow, false);
    options = std::move(podInfo);
    return {};
}

// Takes the lines the driver prints about the pod's stored-image record: the record is
// data (stdout); a red line is an error (stderr).
class PodInfoPrinter final : public MessageDisplay {
public:
    PodInfoPrinter(std::ostream& out, ConsoleUi& ui) : out_(out), ui_(ui) {}

    void AddMessage(const char* text, std::uint32_t colour) override {
        const std::string line = text != nullptr ? text : "";
        if (colour == kColourRed) {
            ui_.Error(line);
        } else {
            out_ << line << '\n';
        }
    }

private:
    std::ostream& out_;
    ConsoleUi& ui_;
};

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

// The record is printed, not compared, so no file is needed.
int PrintPodInfo(PodRun& run, bool json, const CliContext& context) {
    ConsoleUi& ui = context.ui;
    if (const int status = run.Start(); status != kExitSuccess) {
        return run.Refuse(status);
    }
    if (!run.Operations().ConnectPod()) {
        return run.Finish(run.Unreachable(), nullptr);
    }
    // With --json the record's lines go into the JSON object, which is all stdout holds.
    std::stringstream lines;
    PodInfoPrinter printer(json ? lines : context.out, ui);
    CUsbPod& pod = run.Session().Pod();
    pod.SetIndicators(ui.Status(), ui.Progress(), printer);
    PodInfoRecord stored;
    const PodResult result = pod.ReadPodInfo(&stored);
    pod.Close();
    if (result != kPodOk) {
        ui.Error(ProgrammerCommands::PodVerifyErrorText(result));
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

int Run(const CliParseResult& parsed, const CliContext& context) {
    const bool json = parsed.As<PodInfoOptions>()->json;
    BoardCommand board = BoardCommandFor(PodInfoCommand());
    board.json = json;
    board.printsFindings = true;
    return RunOnPod(parsed.global, board, context.environment, context.ui, context.out,
                    [&](PodRun& run) { return PrintPodInfo(run, json, context); });
}

constexpr CommandInfo kPodInfo = {
    .command = CliCommand::PodInfo,
    .name = "pod-info",
    .needsFile = false,
    .needsCpu = false,
    .summary = "print the pod's record of its stored image",
    .description =
        "Reads the pod's record of the image stored in its EEPROM and prints it on stdout as\n"
        "POD Verify does (\"[CPU] : ...\", \"[Option] : ...\", one \"[... Info]\" line per "
        "region),\nwithout comparing anything. Exits with 1 when the pod holds no image.",
    .example = "vantix-cli pod-info",
    .options = kOptions,
    .refuseForeign = nullptr,
    .read = Read,
    .run = Run,
    .keepsRecords = true,
};

}  // namespace

const CommandInfo& PodInfoCommand() {
    return kPodInfo;
}
