// erase and blank-check: whole regions of the CPU's memory map, no file.
#include <cstdio>

#include "SFileImage.h"
#include "commandline/CliExit.h"
#include "commandline/CliOptions.h"
#include "commandline/CommandTable.h"
#include "commands/ConsoleUi.h"
#include "commands/ImageLoading.h"
#include "commands/PodCommandRunner.h"
#include "commands/PodSession.h"
#include "records/ImageDigests.h"

namespace {

// Every region of the CPU's map (P2FLASH on the DSP56F807 only), or those named.
bool SelectMapRegions(const SFileImage& image, const std::vector<std::string>* wanted,
                      RegionSelection& selection, std::string& error) {
    selection = {};
    for (const MemoryRegion region : kAllRegions) {
        const bool mapped = CpuHasRegion(image.cpu, region);
        selection[RegionIndex(region)] = wanted == nullptr && mapped ? 1 : 0;
    }
    for (const std::string& name : wanted != nullptr ? *wanted : std::vector<std::string>{}) {
        const std::optional<MemoryRegion> region = RegionFromUserName(name);
        if (!region) {
            error = UnknownRegionText(name);
            return false;
        }
        if (!CpuHasRegion(image.cpu, *region)) {
            error = std::string("the ") + CpuName(image.cpu) + " has no " + RegionName(*region);
            return false;
        }
        selection[RegionIndex(*region)] = 1;
    }
    return true;
}

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

int PodCommandRunner::RunWholeRegions() {
    const bool erase = options_.command == CliCommand::Erase;
    RunRecord record;
    record.command = SpecOf(options_.command).name;
    SFileImage image;  // erased words only: the CPU's map and its program RAM
    image.cpu = *options_.cpu;
    image.ApplyCpuMemoryMap();
    record.cpu = CpuName(image.cpu);
    RegionSelection selection{};
    std::string error;
    if (!SelectMapRegions(image, options_.regions ? &*options_.regions : nullptr, selection,
                          error)) {
        ui_.Error("vantix-cli: " + error);
        return Record(record, kExitInputError);
    }
    for (const MemoryRegion region : kAllRegions) {
        if (selection[RegionIndex(region)] != 0) {
            record.regions.push_back(MapRegionRecord(image, region));
        }
    }

    PodSession session(options_, environment_, ui_);
    int status = session.Start(image);
    if (status != kExitSuccess) {
        return Record(record, status);
    }
    const std::uint32_t startMs = session.ElapsedMs();
    std::vector<BlankRegion> report;
    std::vector<RunRecord::Region> none;
    const CommandOutcome outcome =
        erase ? session.Commands().RunErase(selection, options_.eraseAllBoot)
              : session.Commands().RunBlankCheck(selection, report);
    const bool ran = outcome.kind == CommandOutcome::Kind::Succeeded ||
                     outcome.kind == CommandOutcome::Kind::Failed;
    for (RunRecord::Region& region : erase || !ran ? none : record.regions) {
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
    out_.flush();
    status = session.Finish(ExitFor(outcome, session));
    Conclude(record, &outcome, session, startMs);
    return Record(record, status);
}
