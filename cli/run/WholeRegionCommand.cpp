#include "run/WholeRegionCommand.h"

#include <cstdio>

#include "CliExit.h"
#include "SFileImage.h"
#include "commandline/CliOptions.h"
#include "run/BoardCommandOf.h"
#include "run/ConsoleUi.h"
#include "run/PodRun.h"

namespace {

// A region's whole extent in the map, with the CRC-32 of its erased words.
RunRecord::Region MapRegionRecord(const SFileImage& image, MemoryRegion region) {
    const AddressArea& area = image.Area(region);
    const RegionRow row{region,
                        static_cast<std::uint16_t>(area.start),
                        static_cast<std::uint16_t>(area.end),
                        static_cast<std::uint16_t>(area.size),
                        RegionName(region),
                        {},
                        {}};
    return RegionRecord(image, row);
}

std::string Hex4(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(value));
    return text;
}

}  // namespace

WholeRegionCommand::WholeRegionCommand(const CliOptions& options,
                                       const CliEnvironment& environment, ConsoleUi& ui,
                                       RunRecorder& recorder, std::ostream& out)
    : options_(options), environment_(environment), ui_(ui), recorder_(recorder), out_(out) {}

int WholeRegionCommand::Run() {
    PodRun run(BoardCommandOf(options_), options_.pod, environment_, ui_, recorder_);
    if (const int status = Prepare(run); status != kExitSuccess) {
        return run.Refuse(status);
    }
    if (const int status = run.Start(); status != kExitSuccess) {
        return run.Refuse(status);
    }
    const CommandOutcome outcome = RunOnce(run);
    return run.Finish(run.ExitFor(outcome), &outcome);
}

int WholeRegionCommand::Prepare(PodRun& run) {
    SFileImage& image = run.Image();  // erased words only: the CPU's map and its program RAM
    image.cpu = *options_.cpu;
    image.ApplyCpuMemoryMap();
    run.Record().cpu = CpuName(image.cpu);
    if (std::string error; !SelectRegions(run, error)) {
        ui_.Error("vantix-cli: " + error);
        return kExitInputError;
    }
    return kExitSuccess;
}

CommandOutcome WholeRegionCommand::RunOnce(PodRun& run) {
    const bool erase = options_.command == CliCommand::Erase;
    std::vector<BlankRegion> report;
    const CommandOutcome outcome = erase
                                       ? run.Operations().RunErase(selection_, options_.eraseAllBoot)
                                       : run.Operations().RunBlankCheck(selection_, report);
    if (!erase && (outcome.kind == CommandOutcome::Kind::Succeeded ||
                   outcome.kind == CommandOutcome::Kind::Failed)) {
        ReportBlankCheck(run.Record().regions, report);
    }
    out_.flush();
    return outcome;
}

bool WholeRegionCommand::SelectRegions(PodRun& run, std::string& error) {
    const SFileImage& image = run.Image();
    for (const MemoryRegion region : kAllRegions) {
        const bool mapped = CpuHasRegion(image.cpu, region);
        selection_[RegionIndex(region)] = !options_.regions && mapped ? 1 : 0;
    }
    for (const MemoryRegion region : options_.regions.value_or(std::vector<MemoryRegion>{})) {
        if (!CpuHasRegion(image.cpu, region)) {
            error = std::string("the ") + CpuName(image.cpu) + " has no " + RegionName(region);
            return false;
        }
        selection_[RegionIndex(region)] = 1;
    }
    for (const MemoryRegion region : kAllRegions) {
        if (selection_[RegionIndex(region)] != 0) {
            run.Record().regions.push_back(MapRegionRecord(image, region));
        }
    }
    return true;
}

void WholeRegionCommand::ReportBlankCheck(std::vector<RunRecord::Region>& regions,
                                          const std::vector<BlankRegion>& report) {
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
        if (!options_.json) {
            out_ << region.name
                 << (!found.checked ? std::string(" not checked")
                     : found.blank  ? std::string(" blank")
                                    : " not blank: " + Hex4(found.differsFirst) + "-" +
                                         Hex4(found.differsLast) + " differs")
                 << '\n';
        }
    }
}
