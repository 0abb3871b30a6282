#include "commands/VerifyCommand.h"

#include <array>

#include "commandline/CommandLineParser.h"
#include "commandline/GangOptions.h"
#include "commandline/ImageFileOptions.h"
#include "commandline/OptionReader.h"
#include "commandline/RunOutputOptions.h"
#include "commandline/SerialOptions.h"
#include "commandline/TargetOptions.h"
#include "gang/GangRun.h"
#include "run/BoardCommand.h"
#include "run/CliContext.h"
#include "run/FileBoard.h"
#include "run/PodRun.h"

namespace {

constexpr std::array<OptionUse, 12> kOptions = {{
    {&kCpuRow}, {&kRegionsRow}, {&kResetAfterRow}, {&kJsonRow}, {&kRepeatRow}, {&kPodsRow},
    {&kSerialAtRow}, {&kSerialWordsRow}, {&kSerialOverwriteRow}, {&kSerialValueRow},
    {&kExpectSha256Row}, {&kStrictRow},
}};

// The first refusal, in the order the options have always been refused.
std::string ReadInto(const OptionReader& reader, VerifyOptions& verify) {
    verify.json = reader.Flag(kJsonRow, false);
    verify.load.strict = reader.Flag(kStrictRow, false);
    verify.resetAfter = reader.Flag(kResetAfterRow, false);
    verify.repeat = reader.Flag(kRepeatRow, false);
    return FirstRefusal([&] { return ReadImageFile(reader, verify.load.image); },
                        [&] { return ReadRegionList(reader, verify.regions); },
                        [&] { return ReadSerialCheck(reader, verify.serial); },
                        [&] { return ReadPodsOption(reader, verify.pods); },
                        [&] { return ReadExpectedImage(reader, verify.load.expected); });
}

std::string Read(const OptionReader& reader, std::unique_ptr<CommandOptions>& options) {
    auto verify = std::make_unique<VerifyOptions>();
    const std::string refusal = ReadInto(reader, *verify);
    options = std::move(verify);
    return refusal;
}

class VerifyWork : public FileBoard {
public:
    VerifyWork(const VerifyOptions& options, const BoardParts& parts)
        : FileBoard(options.load, options.regions, std::nullopt, options.serial, parts),
          resetAfter_(options.resetAfter) {}

    CommandOutcome RunOnce(PodRun& run) override {
        return run.Operations().RunTarget(TargetCommand::Verify, Items(), false, resetAfter_);
    }

private:
    const bool resetAfter_;
};

int Run(const CliParseResult& parsed, const CliContext& context) {
    const VerifyOptions& options = *parsed.As<VerifyOptions>();
    BoardCommand board = BoardCommandFor(VerifyCommand());
    board.json = options.json;
    board.repeat = options.repeat;
    board.facts = {options.load.image.path, options.load.image.cpu};
    board.makeWork = [options](const BoardParts& parts) {
        return std::make_unique<VerifyWork>(options, parts);
    };
    return RunOnPods(parsed.global, board, options.pods, context);
}

constexpr CommandInfo kVerify = {
    .command = CliCommand::Verify,
    .name = "verify",
    .needsFile = true,
    .needsCpu = true,
    .summary = "Target Verify: compare the regions with the target",
    .description =
        "Compares the regions of FILE with the target board's flash (\"Target Verify\").\n"
        "--serial-at with --serial-value N checks a board that was given serial number N.",
    .example = "vantix-cli verify firmware.s --cpu 803",
    .options = kOptions,
    .refuseForeign = nullptr,
    .read = Read,
    .run = Run,
    .keepsRecords = true,
};

}  // namespace

const CommandInfo& VerifyCommand() {
    return kVerify;
}
