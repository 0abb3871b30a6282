#include "RunCli.h"

#include "CliExit.h"
#include "commandline/CommandLineParser.h"
#include "commandline/CommandTable.h"
#include "commands/CommandList.h"
#include "gang/GangRun.h"
#include "records/RunRecord.h"
#include "run/BoardCommandOf.h"
#include "run/BoardLoop.h"
#include "run/CliContext.h"
#include "run/ConsoleUi.h"
#include "run/OutputFailure.h"
#include "run/ReportCommand.h"
#include "run/StationDbCommand.h"

namespace {

// The udev rule that lets a logged-in user open the pod without root.
const char* const kUdevRule =
    "# Vantix: let the logged-in user open the USB programming pod.\n"
    "SUBSYSTEM==\"usb\", ATTRS{idVendor}==\"0403\", ATTRS{product}==\"USB POD\", "
    "MODE=\"0660\", TAG+=\"uaccess\"\n";

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
    if (const CommandInfo& command = commands.Of(options.command); command.run != nullptr) {
        return command.run(parsed, CliContext{environment, ui, out, err});
    }
    switch (options.command) {
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
            return RunOnOnePod(options, board, environment, ui, out);
        }
    }
}
