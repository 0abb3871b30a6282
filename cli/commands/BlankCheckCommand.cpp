#include "commands/BlankCheckCommand.h"

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "BlankRegion.h"
#include "commandline/CommandLineParser.h"
#include "commandline/GangOptions.h"
#include "commandline/ImageFileOptions.h"
#include "commandline/OptionReader.h"
#include "commandline/RunOutputOptions.h"
#include "commandline/TargetOptions.h"
#include "gang/GangRun.h"
#include "run/BoardCommand.h"
#include "records/RunRecord.h"
#include "run/CliContext.h"
#include "run/PodRun.h"
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

std::string Hex4(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(value));
    return text;
}

// Has the pod compare each region with FFFF; each checked region's finding goes into its
// record and, unless --json, a line on stdout.
class BlankCheckRun : public WholeRegionRun {
public:
    BlankCheckRun(const BlankCheckOptions& options, const BoardParts& parts)
        : WholeRegionRun(options.cpu, options.regions, parts), out_(parts.out), json_(parts.json) {}

    CommandOutcome RunOnce(PodRun& run) override {
        std::vector<BlankRegion> report;
        const CommandOutcome outcome = run.Operations().RunBlankCheck(Selection(), report);
        if (outcome.kind == CommandOutcome::Kind::Succeeded ||
            outcome.kind == CommandOutcome::Kind::Failed) {
            Report(run.Record().regions, report);
        }
        out_.flush();
        return outcome;
    }

private:
    void Report(std::vector<RunRecord::Region>& regions, const std::vector<BlankRegion>& report) {
        for (RunRecord::Region& region : regions) {
            // A region the check did not reach, or the pod did not answer for, is neither.
            BlankRegion found;
            for (const BlankRegion& checked : report) {
                found = region.name == RegionName(checked.region) ? checked : found;
            }
            region.blankChecked = true;
            if (found.checked) {
                region.blank = found.blank;
            }
            if (found.checked && !found.blank) {
                region.differsFirst = static_cast<std::uint16_t>(found.differsFirst);
                region.differsLast = static_cast<std::uint16_t>(found.differsLast);
            }
            if (!json_) {
                out_ << region.name
                     << (!found.checked ? std::string(" not checked")
                         : found.blank  ? std::string(" blank")
                                        : " not blank: " + Hex4(found.differsFirst) + "-" +
                                             Hex4(found.differsLast) + " differs")
                     << '\n';
            }
        }
    }

    std::ostream& out_;
    const bool json_;
};

int Run(const CliParseResult& parsed, const CliContext& context) {
    const BlankCheckOptions& options = *parsed.As<BlankCheckOptions>();
    BoardCommand board = BoardCommandFor(BlankCheckCommand());
    board.json = options.json;
    board.printsFindings = true;
    board.facts.cpu = options.cpu;
    board.makeWork = [options](const BoardParts& parts) {
        return std::make_unique<BlankCheckRun>(options, parts);
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
