#include "commands/ResetCommand.h"

#include <array>

#include "commandline/CommandLineParser.h"
#include "commandline/GangOptions.h"
#include "commandline/OptionReader.h"
#include "commandline/RunOutputOptions.h"
#include "gang/GangRun.h"
#include "run/BoardCommand.h"
#include "run/BoardWork.h"
#include "run/CliContext.h"
#include "run/PodRun.h"

namespace {

constexpr std::array<OptionUse, 2> kOptions = {{{&kJsonRow}, {&kPodsRow}}};

std::string Read(const OptionReader& reader, std::unique_ptr<CommandOptions>& options) {
    auto reset = std::make_unique<ResetOptions>();
    reset->json = reader.Flag(kJsonRow, false);
    const std::string refusal = ReadPodsOption(reader, reset->pods);
    options = std::move(reset);
    return refusal;
}

// The board's record says what the console showed.
class ResetWork : public BoardWork {
public:
    CommandOutcome RunOnce(PodRun& run) override { return run.Operations().TargetReset(); }
    bool RecordsOutcome() const override { return false; }
};

int Run(const CliParseResult& parsed, const CliContext& context) {
    const ResetOptions& options = *parsed.As<ResetOptions>();
    BoardCommand board = BoardCommandFor(ResetCommand());
    board.json = options.json;
    board.makeWork = [](const BoardParts&) { return std::make_unique<ResetWork>(); };
    return RunOnPods(parsed.global, board, options.pods, context);
}

constexpr CommandInfo kReset = {
    .command = CliCommand::Reset,
    .name = "reset",
    .needsFile = false,
    .needsCpu = false,
    .summary = "Target Reset: reset the target board",
    .description =
        "Resets the target board through the pod (\"Target Reset\"). Exits with 1 when the pod\n"
        "does not acknowledge the reset.",
    .example = "vantix-cli reset",
    .options = kOptions,
    .refuseForeign = nullptr,
    .read = Read,
    .run = Run,
    .keepsRecords = true,
};

}  // namespace

const CommandInfo& ResetCommand() {
    return kReset;
}
