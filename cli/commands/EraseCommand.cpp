#include "commands/EraseCommand.h"

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
#include "run/PodRun.h"
#include "run/WholeRegionRun.h"

namespace {

constexpr std::array<OptionUse, 5> kOptions = {
    {{&kCpuRow}, {&kRegionsRow}, {&kEraseAllBootRow}, {&kJsonRow}, {&kPodsRow}}};

std::string Read(const OptionReader& reader, std::unique_ptr<CommandOptions>& options) {
    auto erase = std::make_unique<EraseOptions>();
    erase->json = reader.Flag(kJsonRow, false);
    erase->eraseAllBoot = reader.Flag(kEraseAllBootRow, true);
    std::string refusal = ReadCpu(reader, erase->cpu);
    if (refusal.empty()) {
        refusal = ReadRegionList(reader, erase->regions);
    }
    if (refusal.empty()) {
        refusal = ReadPodsOption(reader, erase->pods);
    }
    options = std::move(erase);
    return refusal;
}

// Every page of the regions; BFLASH with one frame unless --no-erase-all-boot.
class EraseRun : public WholeRegionRun {
public:
    EraseRun(const EraseOptions& options, const BoardParts& parts)
        : WholeRegionRun(options.cpu, options.regions, parts),
          eraseAllBoot_(options.eraseAllBoot) {}

    CommandOutcome RunOnce(PodRun& run) override {
        return run.Operations().RunErase(Selection(), eraseAllBoot_);
    }

private:
    const bool eraseAllBoot_;
};

int Run(const CliParseResult& parsed, const CliContext& context) {
    const EraseOptions& options = *parsed.As<EraseOptions>();
    BoardCommand board = BoardCommandFor(EraseCommand());
    board.json = options.json;
    board.facts.cpu = options.cpu;
    board.makeWork = [options](const BoardParts& parts) {
        return std::make_unique<EraseRun>(options, parts);
    };
    return RunOnPods(parsed.global, board, options.pods, context);
}

constexpr CommandInfo kErase = {
    .command = CliCommand::Erase,
    .name = "erase",
    .needsFile = false,
    .needsCpu = true,
    .summary = "erase every page of the regions of the CPU's memory map",
    .description =
        "Erases every page of each region of the CPU's memory map on the target board (default:\n"
        "all of them; P2FLASH on the DSP56F807 only), with Target Write's frames, texts and\n"
        "lamps. BFLASH is erased whole with one frame unless --no-erase-all-boot. No FILE.",
    .example = "vantix-cli erase --cpu 807 --regions PFLASH,DFLASH",
    .options = kOptions,
    .refuseForeign = nullptr,
    .read = Read,
    .run = Run,
    .keepsRecords = true,
};

}  // namespace

const CommandInfo& EraseCommand() {
    return kErase;
}
