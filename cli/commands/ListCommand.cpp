#include "commands/ListCommand.h"

#include <array>
#include <vector>

#include "AttachedDevices.h"
#include "CUsbPod.h"
#include "CliExit.h"
#include "commandline/CommandLineParser.h"
#include "commandline/OptionReader.h"
#include "commandline/RunOutputOptions.h"
#include "records/JsonText.h"
#include "run/BoardCommand.h"
#include "run/BoardLoop.h"
#include "run/CliContext.h"
#include "run/ConsoleUi.h"
#include "run/OutputFailure.h"
#include "run/PodRun.h"

namespace {

constexpr const char* kJsonText = "print the listing as one JSON array on stdout";
constexpr std::array<OptionUse, 1> kOptions = {{{&kJsonRow, kJsonText}}};

std::string Read(const OptionReader& reader, std::unique_ptr<CommandOptions>& options) {
    auto list = std::make_unique<ListOptions>();
    list->json = reader.Flag(kJsonRow, false);
    options = std::move(list);
    return {};
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

// The list is no board's work: it keeps no record.
int List(PodRun& run, bool json, const CliContext& context) {
    PodSession& session = run.Session();
    if (const int status = run.Start(); status != kExitSuccess) {
        return status;
    }
    std::vector<AttachedDevice> devices;
    std::string error;
    if (!ListAttachedDevices(session.Library(), devices, error)) {
        context.ui.Error("vantix-cli: " + error);
        return session.Finish(kExitUnreachable);
    }
    std::string array;
    for (const AttachedDevice& device : devices) {
        const bool pod = device.problem.empty() && device.description == CUsbPod::kPodDescription;
        if (json) {
            array += (array.empty() ? "" : ",") + DeviceJson(device, pod);
        } else {
            WriteDevice(context.out, device, pod);
        }
    }
    if (json) {
        context.out << "[" << array << "]\n";
    }
    if (const std::string failure = OutputFailure(context.out); !failure.empty()) {
        context.ui.Error("vantix-cli: " + failure);
        return session.Finish(kExitInputError);
    }
    if (devices.empty()) {
        // As for every other command, no device is an unreachable pod; the list stays empty.
        context.ui.Error("No FTDI device is attached");
        return session.Finish(kExitUnreachable);
    }
    return session.Finish(kExitSuccess);
}

int Run(const CliParseResult& parsed, const CliContext& context) {
    const bool json = parsed.As<ListOptions>()->json;
    BoardCommand board = BoardCommandFor(ListCommand());
    board.json = json;
    board.printsFindings = true;
    return RunOnPod(parsed.global, board, context.environment, context.ui, context.out,
                    [&](PodRun& run) { return List(run, json, context); });
}

constexpr CommandInfo kList = {
    .command = CliCommand::List,
    .name = "list",
    .needsFile = false,
    .needsCpu = false,
    .summary = "list the attached FTDI devices",
    .description =
        "Lists the attached FTDI devices on stdout in the order of their serial numbers,\n"
        "one line each: index, serial number, description and \"pod\" or \"not a pod\" (a\n"
        "pod is described \"USB POD\"), separated by tabs, and a fifth field saying why\n"
        "when a device's strings could not be read (often a permission problem: see\n"
        "--udev-rule). --json prints the same as an array:\n"
        "  [{\"index\":0,\"serial\":\"VSIM0001\",\"description\":\"USB POD\",\"pod\":true}]\n"
        "With --simulate (or --sim-pods N), the simulated pods are listed.",
    .example = "vantix-cli list --json",
    .options = kOptions,
    .refuseForeign = nullptr,
    .read = Read,
    .run = Run,
};

}  // namespace

const CommandInfo& ListCommand() {
    return kList;
}
