#include "commandline/TargetOptions.h"

#include "commandline/CliOptionRows.h"
#include "commandline/OptionReader.h"
#include "commandline/OptionValues.h"

std::string ReadRegionList(const OptionReader& reader, std::optional<RegionList>& regions) {
    const std::optional<std::vector<std::string>> given = reader.List(kRegionsRow);
    if (!given) {
        return {};
    }
    std::string unknown;
    regions = ReadRegionList(*given, unknown);
    return regions ? std::string() : Refusal(kRegionsRow, unknown);
}

std::string ReadRegion(const OptionReader& reader, std::optional<MemoryRegion>& region) {
    const std::optional<std::string> given = reader.Text(kRegionRow);
    if (!given) {
        return {};
    }
    region = RegionFromUserName(*given);
    return region ? std::string() : Refusal(kRegionRow, *given);
}
