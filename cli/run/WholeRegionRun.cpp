#include "run/WholeRegionRun.h"

#include <utility>

#include "CliExit.h"
#include "SFileImage.h"
#include "records/RunRecord.h"
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

}  // namespace

WholeRegionRun::WholeRegionRun(CpuType cpu, std::optional<RegionList> regions,
                               const BoardParts& parts)
    : cpu_(cpu), regions_(std::move(regions)), ui_(parts.ui) {}

int WholeRegionRun::Prepare(PodRun& run) {
    SFileImage& image = run.Image();  // erased words only: the CPU's map and its program RAM
    image.cpu = cpu_;
    image.ApplyCpuMemoryMap();
    run.Record().cpu = CpuName(image.cpu);
    if (std::string error; !SelectRegions(run, error)) {
        ui_.Error("vantix-cli: " + error);
        return kExitInputError;
    }
    return kExitSuccess;
}

bool WholeRegionRun::SelectRegions(PodRun& run, std::string& error) {
    const SFileImage& image = run.Image();
    for (const MemoryRegion region : kAllRegions) {
        const bool mapped = CpuHasRegion(image.cpu, region);
        selection_[RegionIndex(region)] = !regions_ && mapped ? 1 : 0;
    }
    for (const MemoryRegion region : regions_.value_or(RegionList{})) {
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
