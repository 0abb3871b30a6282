#include "commands/PodWriteCommand.h"

#include <array>

#include "commandline/CommandLineParser.h"
#include "commandline/ImageFileOptions.h"
#include "commandline/OptionReader.h"
#include "commandline/RunOutputOptions.h"
#include "commandline/SerialOptions.h"
#include "commandline/TargetOptions.h"
#include "run/BoardCommand.h"
#include "run/BoardLoop.h"
#include "run/CliContext.h"
#include "run/FileBoard.h"
#include "run/PodRun.h"

namespace {

constexpr std::array<OptionUse, 6> kOptions = {{
    {&kCpuRow}, {&kEraseAllBootRow}, {&kResetAfterRow}, {&kJsonRow}, {&kExpectSha256Row},
    {&kStrictRow},
}};

std::string Read(const OptionReader& reader, std::unique_ptr<CommandOptions>& options) {
    auto podWrite = std::make_unique<PodWriteOptions>();
    podWrite->json = reader.Flag(kJsonRow, false);
    podWrite->load.strict = reader.Flag(kStrictRow, false);
    podWrite->eraseAllBoot = reader.Flag(kEraseAllBootRow, true);
    podWrite->resetAfter = reader.Flag(kResetAfterRow, false);
    std::string refusal = ReadImageFile(reader, podWrite->load.image);
    if (refusal.empty()) {
        refusal = ReadExpectedImage(reader, podWrite->load.expected);
    }
    options = std::move(podWrite);
    return refusal;
}

// The pod programs boards on its own, with one image: it takes no serial option.
std::string RefuseForeign(std::string_view option) {
    return PodSerialRefusal("pod-write", option);
}

// Every region the file fills goes into the pod, with the CPU and the two options.
class PodWriteWork : public FileBoard {
public:
    PodWriteWork(const PodWriteOptions& options, const BoardParts& parts)
        : FileBoard(options.load, std::nullopt, std::nullopt, std::nullopt, parts),
          eraseAllBoot_(options.eraseAllBoot),
          resetAfter_(options.resetAfter) {}

    CommandOutcome RunOnce(PodRun& run) override {
        return run.Operations().RunPod(PodCommand::Write, RowCount(), eraseAllBoot_, resetAfter_);
    }

private:
    const bool eraseAllBoot_;
    const bool resetAfter_;
};

int Run(const CliParseResult& parsed, const CliContext& context) {
    const PodWriteOptions& options = *parsed.As<PodWriteOptions>();
    BoardCommand board = BoardCommandFor(PodWriteCommand());
    board.json = options.json;
    board.facts = {options.load.image.path, options.load.image.cpu};
    board.makeWork = [options](const BoardParts& parts) {
        return std::make_unique<PodWriteWork>(options, parts);
    };
    return RunOnOnePod(parsed.global, board, context.environment, context.ui, context.out);
}

constexpr CommandInfo kPodWrite = {
    .command = CliCommand::PodWrite,
    .name = "pod-write",
    .needsFile = true,
    .needsCpu = true,
    .summary = "POD Write: store the whole image in the pod's EEPROM",
    .description =
        "Stores the whole image of FILE in the pod's serial EEPROM (\"POD Write\"), with the CPU\n"
        "and the two options, so that the pod can later program boards on its own. Every\n"
        "region the file fills is stored.",
    .example = "vantix-cli pod-write firmware.s --cpu 805 --reset-after",
    .options = kOptions,
    .refuseForeign = RefuseForeign,
    .read = Read,
    .run = Run,
    .keepsRecords = true,
};

}  // namespace

const CommandInfo& PodWriteCommand() {
    return kPodWrite;
}
