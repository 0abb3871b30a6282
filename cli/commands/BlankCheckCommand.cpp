#include "commands/BlankCheckCommand.h"

#include <array>

#include "commandline/CommandLineParser.h"
#include "commandline/GangOptions.h"
#include "commandline/ImageFileOptions.h"
#include "commandline/OptionReader.h"
#include "commandline/RunOutputOptions.h"
#include "commandline/TargetOptions.h"
#include "gang/GangRun.h"
#include "run/BoardCommand.h"
#include "run/CliContext.h"
#include "run/WholeRegionRun.h"

namespace {

constexpr std::array<OptionUse, 4> kOptions = {
    {{&kCpuRow}, {&kRegionsRow}, {&kJsonRow}, {&kPodsRow}}};

std::string Read(const OptionReader& reader, std::unique_ptr<CommandOptions>& options) {
    auto check = std::make_unique<BlankCheckOptions>();
    check->json = reader.Flag(kJsonRow, false);
    std::string refusal = ReadCpu(reader, check->cpu);
    if (refusal.empty()) {
        refusal = ReadRegionList(reader, check->regions);
    }
    if (refusal.empty()) {
        refusal = ReadPodsOption(reader, check->pods);
    }
    options = std::move(check);
    return refusal;
}

int Run(const CliParseResult& parsed, const CliContext& context) {
    const BlankCheckOptions& options = *parsed.As<BlankCheckOptions>();
    BoardCommand board = BoardCommandFor(BlankCheckCommand());
    board.json = options.json;
    board.printsFindings = true;
    board.facts.cpu = options.cpu;
    const WholeRegionJob job{options.cpu, options.regions, true, true};
    board.makeWork = [job](const BoardParts& parts) {
        return std::make_unique<WholeRegionRun>(job, parts);
    };
    return RunOnPods(parsed.global, board, options.pods, context);
}

constexpr CommandInfo kBlankCheck = {
    .command = CliCommand::BlankCheck,
    .name = "blank-check",
    .needsFile = false,
    .needsCpu = true,
    .summary = "check that the regions of the CPU's memory map are erased",
    .description =
        "Has the pod compare every word of each region of the CPU's memory map with FFFF\n"
        "(default: all regions), one page at a time, and prints a line per region on stdout:\n"
        "\"PFLASH blank\", or \"PFLASH not blank: 0x0100-0x01FF differs\", the first page piece\n"
        "that differs (the pod compares a whole piece at once). Exits with 0 when every region\n"
        "is blank, 1 when one is not. No FILE.",
    .example = "vantix-cli blank-check --cpu 805 --json",
    .options = kOptions,
    .refuseForeign = nullptr,
    .read = Read,
    .run = Run,
    .keepsRecords = true,
};

}  // namespace

const CommandInfo& BlankCheckCommand() {
    return kBlankCheck;
}
