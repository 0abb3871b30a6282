#include "RunCli.h"

#include "CliExit.h"
#include "SFileImage.h"
#include "commandline/CommandLineParser.h"
#include "commandline/CommandTable.h"
#include "commands/CommandList.h"
#include "gang/GangRun.h"
#include "records/ImageDigests.h"
#include "records/RunRecord.h"
#include "run/BoardCommandOf.h"
#include "run/ConsoleUi.h"
#include "run/ImageLoading.h"
#include "run/ImageReports.h"
#include "run/OutputFailure.h"
#include "run/PodCommandRunner.h"
#include "run/ReportCommand.h"
#include "run/StationDbCommand.h"

namespace {

// The udev rule that lets a logged-in user open the pod without root.
const char* const kUdevRule =
    "# Vantix: let the logged-in user open the USB programming pod.\n"
    "SUBSYSTEM==\"usb\", ATTRS{idVendor}==\"0403\", ATTRS{product}==\"USB POD\", "
    "MODE=\"0660\", TAG+=\"uaccess\"\n";

int RunInfo(const CliOptions& options, std::ostream& out, ConsoleUi& ui) {
    SFileImage image;
    std::vector<RegionRow> rows;
    std::string sha256;
    const int status =
        LoadImageFile(*options.file, *options.cpu, options.strict, image, rows, ui, &sha256);
    if (status != kExitSuccess) {
        return status;
    }
    if (sha256.empty()) {
        ui.Warning("vantix-cli: cannot compute the SHA-256 of " + *options.file);
    }
    if (options.json) {
        WriteInfoJson(out, image, rows, sha256);
    } else {
        WriteInfoTable(out, image, rows, sha256);
    }
    if (const std::string failure = OutputFailure(out); !failure.empty()) {
        ui.Error("vantix-cli: " + failure);
        return kExitInputError;
    }
    if (rows.empty()) {
        ui.Error(std::string("vantix-cli: ") + *options.file + " holds no data for " +
                 CpuName(image.cpu));
        return kExitInputError;
    }
    return kExitSuccess;
}

int RunDump(const CliOptions& options, std::ostream& out, ConsoleUi& ui) {
    SFileImage image;
    std::vector<RegionRow> rows;
    const int status = LoadImageFile(*options.file, *options.cpu, false, image, rows, ui);
    if (status != kExitSuccess) {
        return status;
    }
    if (rows.empty()) {
        ui.Error(std::string("vantix-cli: ") + *options.file + " holds no data for " +
                 CpuName(image.cpu));
        return kExitInputError;
    }
    MemoryRegion region = rows.front().region;
    if (options.dumpRegion) {
        if (FindRow(rows, *options.dumpRegion) == nullptr) {
            ui.Error(std::string("vantix-cli: region ") + RegionName(*options.dumpRegion) +
                     " is not present in the file for this CPU");
            return kExitInputError;
        }
        region = *options.dumpRegion;
    }
    WriteRegionDump(out, image, region);
    if (const std::string failure = OutputFailure(out); !failure.empty()) {
        ui.Error("vantix-cli: " + failure);
        return kExitInputError;
    }
    return kExitSuccess;
}

// What --help, --version and --udev-rule print: all of it, or an error.
int Printed(std::ostream& out, std::ostream& err, const std::string& text) {
    out << text;
    if (const std::string failure = OutputFailure(out); !failure.empty()) {
        err << "vantix-cli: " << failure << '\n';
        return kExitInputError;
    }
    return kExitSuccess;
}

// A command line refused for a command that keeps records: with --json, its record (in an
// array with --pods), as every other refusal has one.
void PrintRefusedRecord(const CliParseResult& parsed, const CommandSet& commands,
                        std::ostream& out) {
    if (parsed.refusedCommand == CliCommand::None) {
        return;
    }
    CliOptions options = parsed.options;
    options.command = parsed.refusedCommand;
    const BoardCommand board = BoardCommandOf(options, commands.Of(options.command).name);
    if (!parsed.refusedJson || !board.keepsRecords) {
        return;
    }
    const std::string record = RunRecordJson(RunRecorder::RefusalRecord(
        board.name, board.facts, options.records.boardId, parsed.error, kExitInputError));
    out << (parsed.manyPods ? "[" + record + "]" : record) << '\n';
    OutputFailure(out);  // the refusal is reported already
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const CliEnvironment& environment) {
    CommandLineParser parser(CliCommands());
    const CommandSet& commands = parser.Commands();
    const CliParseResult parsed = parser.Parse(args);
    const CliOptions& options = parsed.options;

    if (!parsed.error.empty()) {
        err << "vantix-cli: " << parsed.error << '\n';
        PrintRefusedRecord(parsed, commands, out);
        if (options.command != CliCommand::None && options.command != CliCommand::Help) {
            err << "Try 'vantix-cli " << commands.Of(options.command).name << " --help'.\n";
        } else {
            err << "Try 'vantix-cli --help'.\n";
        }
        return kExitInputError;
    }
    if (options.help) {
        return Printed(out, err, parser.Help(options.helpTopic));
    }
    if (options.version) {
        return Printed(out, err, std::string("vantix-cli ") + VANTIX_VERSION + '\n');
    }
    if (options.udevRule) {
        return Printed(out, err, kUdevRule);
    }

    if (options.verbosity == CliVerbosity::Verbose) {
        for (const std::string& source : options.jobFiles.sources) {
            err << source << '\n';
        }
    }
    ConsoleUi ui(err, options.verbosity, environment.stderrIsTerminal);
    ui.WatchInterruption(environment.interrupted);
    int status = kExitSuccess;
    switch (options.command) {
        case CliCommand::Info:
            status = RunInfo(options, out, ui);
            break;
        case CliCommand::Dump:
            status = RunDump(options, out, ui);
            break;
        case CliCommand::StationDb:
            return StationDbCommand(options, environment, ui, out).Run();
        case CliCommand::Report:
            return ReportCommand(options, environment, ui).Run();
        default: {
            const BoardCommand board =
                BoardCommandOf(options, commands.Of(options.command).name);
            if (options.pods) {
                return GangRun(options, board, *options.pods, environment, err, out).Run();
            }
            return PodCommandRunner(options, board, environment, ui, out).Run();
        }
    }
    // Ctrl+C during a file command leaves its output incomplete: say so in the status.
    if (environment.interrupted != nullptr && environment.interrupted->load()) {
        return InterruptedExit(environment);
    }
    return status;
}
