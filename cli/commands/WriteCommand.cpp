#include "commands/WriteCommand.h"

#include <array>
#include <string>
#include <vector>

#include "commandline/CommandLineParser.h"
#include "commandline/GangOptions.h"
#include "commandline/ImageFileOptions.h"
#include "commandline/OptionReader.h"
#include "commandline/RunOutputOptions.h"
#include "commandline/SerialOptions.h"
#include "commandline/TargetOptions.h"
#include "gang/GangRun.h"
#include "records/RunRecord.h"
#include "run/BoardCommand.h"
#include "run/CliContext.h"
#include "run/ConsoleUi.h"
#include "run/FileBoard.h"
#include "run/PodRun.h"

namespace {

constexpr OptionInfo kOnlyChangedRow = {
    Program::Cli, nullptr, "only-changed", true, ValueKind::Flag, nullptr,
    "erase and write only the pages that differ: the pod first\n"
    "compares every page with the image (as verify does), then\n"
    "erases and writes those that differ. Pays on a board that\n"
    "already holds most of the image (about 0.45x the time of the\n"
    "plain command). Costs on a blank board or one with other\n"
    "firmware: every page differs, so the compare comes on top of\n"
    "the full write, about 1.45x the plain command's time. Prints\n"
    "\"PFLASH: 3 of 120 pages written\" per region; records add each\n"
    "region's pages",
    0, 0, nullptr};

constexpr std::array<OptionUse, 16> kOptions = {{
    {&kCpuRow}, {&kRegionsRow}, {&kEraseAllBootRow}, {&kResetAfterRow}, {&kOnlyChangedRow},
    {&kJsonRow}, {&kRepeatRow}, {&kPodsRow}, {&kSerialAtRow}, {&kSerialWordsRow},
    {&kSerialOverwriteRow}, {&kSerialCounterRow}, {&kSerialSeriesRow}, {&kSerialStartRow},
    {&kExpectSha256Row}, {&kStrictRow},
}};

// The first refusal, in the order the options have always been refused.
std::string ReadInto(const OptionReader& reader, WriteOptions& write) {
    write.json = reader.Flag(kJsonRow, false);
    write.load.strict = reader.Flag(kStrictRow, false);
    write.eraseAllBoot = reader.Flag(kEraseAllBootRow, true);
    write.resetAfter = reader.Flag(kResetAfterRow, false);
    write.repeat = reader.Flag(kRepeatRow, false);
    write.onlyChanged = reader.Flag(kOnlyChangedRow, false);
    return FirstRefusal([&] { return ReadImageFile(reader, write.load.image); },
                        [&] { return ReadRegionList(reader, write.regions); },
                        [&] { return ReadSerialNumbering(reader, write.serial); },
                        [&] { return ReadPodsOption(reader, write.pods); },
                        [&] { return ReadExpectedImage(reader, write.load.expected); });
}

template <bool verify>
std::string Read(const OptionReader& reader, std::unique_ptr<CommandOptions>& options) {
    auto write = std::make_unique<WriteOptions>();
    write->verify = verify;
    const std::string refusal = ReadInto(reader, *write);
    options = std::move(write);
    return refusal;
}

// With --only-changed, the pages of each region the run reached go into the board's record
// and onto the console.
class WriteWork : public FileBoard {
public:
    WriteWork(const WriteOptions& options, const BoardParts& parts)
        : FileBoard(options.load, options.regions, options.serial, std::nullopt, parts),
          command_(options.verify ? TargetCommand::WriteVerify : TargetCommand::Write),
          eraseAllBoot_(options.eraseAllBoot),
          resetAfter_(options.resetAfter),
          onlyChanged_(options.onlyChanged) {}

    CommandOutcome RunOnce(PodRun& run) override {
        changedPages_.clear();
        return run.Operations().RunTarget(command_, Items(), eraseAllBoot_, resetAfter_,
                                          onlyChanged_ ? &changedPages_ : nullptr);
    }

    // "PFLASH: 3 of 120 pages written"; a region the run did not reach compared nothing
    // and wrote nothing.
    void AfterBoard(PodRun& run) override {
        if (!onlyChanged_) {
            return;
        }
        for (RunRecord::Region& region : run.Record().regions) {
            region.pages.emplace();
            for (const ChangedPages& counts : changedPages_) {
                if (region.name != RegionName(counts.region)) {
                    continue;
                }
                region.pages = {counts.compared, counts.differed, counts.written};
                Console().Info(region.name + ": " + std::to_string(counts.written) + " of " +
                               std::to_string(counts.pages) + " pages written");
            }
        }
    }

private:
    const TargetCommand command_;
    const bool eraseAllBoot_;
    const bool resetAfter_;
    const bool onlyChanged_;
    std::vector<ChangedPages> changedPages_;
};

int Run(const CliParseResult& parsed, const CliContext& context) {
    const WriteOptions& options = *parsed.As<WriteOptions>();
    BoardCommand board = BoardCommandFor(options.verify ? WriteVerifyCommand() : WriteCommand());
    board.json = options.json;
    board.repeat = options.repeat;
    board.facts = {options.load.image.path, options.load.image.cpu};
    if (options.serial) {
        board.counter = options.serial->counter;
        if (options.serial->series) {
            board.series = RecordedSeries{*options.serial->series, options.serial->place.words};
        }
    }
    board.makeWork = [options](const BoardParts& parts) {
        return std::make_unique<WriteWork>(options, parts);
    };
    return RunOnPods(parsed.global, board, options.pods, context);
}

constexpr CommandInfo kWrite = {
    .command = CliCommand::Write,
    .name = "write",
    .needsFile = true,
    .needsCpu = true,
    .summary = "Target Write: erase and program the regions",
    .description =
        "Erases and programs the regions of FILE on the target board (\"Target Write\").",
    .example = "vantix-cli write firmware.s --cpu 807 --regions PFLASH,BFLASH --reset-after",
    .options = kOptions,
    .refuseForeign = nullptr,
    .read = Read<false>,
    .run = Run,
    .keepsRecords = true,
};

constexpr CommandInfo kWriteVerify = {
    .command = CliCommand::WriteVerify,
    .name = "write-verify",
    .needsFile = true,
    .needsCpu = true,
    .summary = "Target Write & Verify: program, then compare each piece",
    .description =
        "Erases, programs and compares the regions of FILE on the target board\n"
        "(\"Target Write & Verify\").\n\n"
        "With --serial-at, each board gets the next serial number in that word (two words with\n"
        "--serial-words 2, low word first), patched into the loaded image before the board is\n"
        "touched; the file is never changed. The numbers come from --serial-counter FILE, a\n"
        "text file holding the next number that several stations may share, or count up from\n"
        "--serial-start N within the run. A number once taken is never handed out again.\n"
        "With --station-db, --serial-series NAME takes them from a series of the line's\n"
        "database instead.\n\n"
        "A serialised production run, stations sharing one counter and one log:\n"
        "  echo 1000 > /srv/line/serial.txt\n"
        "  vantix-cli write-verify firmware.s --cpu 807 --serial-at PFLASH:7FF0 \\\n"
        "    --serial-counter /srv/line/serial.txt --repeat --log /srv/line/boards.jsonl",
    .example = "vantix-cli write-verify firmware.s --cpu 805 --no-erase-all-boot",
    .options = kOptions,
    .refuseForeign = nullptr,
    .read = Read<true>,
    .run = Run,
    .keepsRecords = true,
};

}  // namespace

const CommandInfo& WriteCommand() {
    return kWrite;
}

const CommandInfo& WriteVerifyCommand() {
    return kWriteVerify;
}
