#include "run/WholeRegionRun.h"

#include <cstdio>
#include <utility>

#include "CliExit.h"
#include "SFileImage.h"
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

WholeRegionRun::WholeRegionRun(WholeRegionJob job, const BoardParts& parts)
    : job_(std::move(job)), ui_(parts.ui), out_(parts.out), json_(parts.json) {}

int WholeRegionRun::Prepare(PodRun& run) {
    SFileImage& image = run.Image();  // erased words only: the CPU's map and its program RAM
    image.cpu = job_.cpu;
    image.ApplyCpuMemoryMap();
    run.Record().cpu = CpuName(image.cpu);
    if (std::string error; !SelectRegions(run, error)) {
        ui_.Error("vantix-cli: " + error);
        return kExitInputError;
    }
    return kExitSuccess;
}

CommandOutcome WholeRegionRun::RunOnce(PodRun& run) {
    const bool erase = !job_.blankCheck;
    std::vector<BlankRegion> report;
    const CommandOutcome outcome = erase ? run.Operations().RunErase(selection_, job_.eraseAllBoot)
                                         : run.Operations().RunBlankCheck(selection_, report);
    if (!erase && (outcome.kind == CommandOutcome::Kind::Succeeded ||
                   outcome.kind == CommandOutcome::Kind::Failed)) {
        ReportBlankCheck(run.Record().regions, report);
    }
    out_.flush();
    return outcome;
}

bool WholeRegionRun::SelectRegions(PodRun& run, std::string& error) {
    const SFileImage& image = run.Image();
    for (const MemoryRegion region : kAllRegions) {
        const bool mapped = CpuHasRegion(image.cpu, region);
        selection_[RegionIndex(region)] = !job_.regions && mapped ? 1 : 0;
    }
    for (const MemoryRegion region : job_.regions.value_or(RegionList{})) {
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

void WholeRegionRun::ReportBlankCheck(std::vector<RunRecord::Region>& regions,
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
