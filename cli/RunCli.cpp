#include "RunCli.h"

#include "CliExit.h"
#include "commandline/CommandLineParser.h"
#include "commandline/CommandTable.h"
#include "commands/CommandList.h"
#include "records/RunRecord.h"
#include "run/CliContext.h"
#include "run/ConsoleUi.h"
#include "run/OutputFailure.h"
#include "run/RunRecorder.h"

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
    const RefusedRun& refused = parsed.refused;
    const CommandInfo& command = commands.Of(refused.command);
    if (refused.command == CliCommand::None || !refused.json || !command.keepsRecords) {
        return;
    }
    const std::string record = RunRecordJson(
        RunRecorder::RefusalRecord(command.name, {refused.file, refused.cpu},
                                   parsed.global.records.boardId, parsed.error, kExitInputError));
    out << (refused.manyPods ? "[" + record + "]" : record) << '\n';
    OutputFailure(out);  // the refusal is reported already
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const CliEnvironment& environment) {
    CommandLineParser parser(CliCommands());
    const CommandSet& commands = parser.Commands();
    const CliParseResult parsed = parser.Parse(args);
    const ToolRequest& tool = parsed.tool;

    if (!parsed.error.empty()) {
        err << "vantix-cli: " << parsed.error << '\n';
        PrintRefusedRecord(parsed, commands, out);
        if (parsed.command != CliCommand::None && parsed.command != CliCommand::Help) {
            err << "Try 'vantix-cli " << commands.Of(parsed.command).name << " --help'.\n";
        } else {
            err << "Try 'vantix-cli --help'.\n";
        }
        return kExitInputError;
    }
    if (tool.help) {
        return Printed(out, err, parser.Help(tool.helpTopic));
    }
    if (tool.version) {
        return Printed(out, err, std::string("vantix-cli ") + VANTIX_VERSION + '\n');
    }
    if (tool.udevRule) {
        return Printed(out, err, kUdevRule);
    }

    const GlobalOptions& global = parsed.global;
    if (global.verbosity == CliVerbosity::Verbose) {
        for (const std::string& source : global.jobFiles.sources) {
            err << source << '\n';
        }
    }
    ConsoleUi ui(err, global.verbosity, environment.stderrIsTerminal);
    ui.WatchInterruption(environment.interrupted);
    return commands.Of(parsed.command).run(parsed, CliContext{environment, ui, out, err});
}
