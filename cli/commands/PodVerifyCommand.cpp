#include "commands/PodVerifyCommand.h"

#include <array>

#include "commandline/CommandLineParser.h"
#include "commandline/ImageFileOptions.h"
#include "commandline/OptionReader.h"
#include "commandline/RunOutputOptions.h"
#include "commandline/SerialOptions.h"
#include "run/BoardCommand.h"
#include "run/BoardLoop.h"
#include "run/CliContext.h"
#include "run/FileBoard.h"
#include "run/PodRun.h"

namespace {

constexpr std::array<OptionUse, 4> kOptions = {
    {{&kCpuRow}, {&kJsonRow}, {&kExpectSha256Row}, {&kStrictRow}}};

std::string Read(const OptionReader& reader, std::unique_ptr<CommandOptions>& options) {
    auto podVerify = std::make_unique<PodVerifyOptions>();
    podVerify->json = reader.Flag(kJsonRow, false);
    podVerify->load.strict = reader.Flag(kStrictRow, false);
    std::string refusal = ReadImageFile(reader, podVerify->load.image);
    if (refusal.empty()) {
        refusal = ReadExpectedImage(reader, podVerify->load.expected);
    }
    options = std::move(podVerify);
    return refusal;
}

// The pod programs boards on its own, with one image: it takes no serial option.
std::string RefuseForeign(std::string_view option) {
    return PodSerialRefusal("pod-verify", option);
}

// The pod compares every stored block with the file.
class PodVerifyWork : public FileBoard {
public:
    PodVerifyWork(const PodVerifyOptions& options, const BoardParts& parts)
        : FileBoard(options.load, std::nullopt, std::nullopt, std::nullopt, parts) {}

    CommandOutcome RunOnce(PodRun& run) override {
        return run.Operations().RunPod(PodCommand::Verify, RowCount(), false, false);
    }
};

int Run(const CliParseResult& parsed, const CliContext& context) {
    const PodVerifyOptions& options = *parsed.As<PodVerifyOptions>();
    BoardCommand board = BoardCommandFor(PodVerifyCommand());
    board.json = options.json;
    board.facts = {options.load.image.path, options.load.image.cpu};
    board.makeWork = [options](const BoardParts& parts) {
        return std::make_unique<PodVerifyWork>(options, parts);
    };
    return RunOnOnePod(parsed.global, board, context.environment, context.ui, context.out);
}

constexpr CommandInfo kPodVerify = {
    .command = CliCommand::PodVerify,
    .name = "pod-verify",
    .needsFile = true,
    .needsCpu = true,
    .summary = "POD Verify: compare the pod's stored image with the file",
    .description =
        "Reads the pod's record of its stored image, prints it, and has the pod compare every\n"
        "stored block with FILE (\"POD Verify\").",
    .example = "vantix-cli pod-verify firmware.s --cpu 805",
    .options = kOptions,
    .refuseForeign = RefuseForeign,
    .read = Read,
    .run = Run,
    .keepsRecords = true,
};

}  // namespace

const CommandInfo& PodVerifyCommand() {
    return kPodVerify;
}
