#include "ProgramUsage.h"

#include "CpuType.h"
#include "MemoryRegion.h"

UsageOption UsageOf(const OptionInfo& option, const char* description) {
    UsageOption usage;
    if (option.shortName != nullptr) {
        usage.names.push_back(std::string("-") + option.shortName);
    }
    usage.names.push_back(std::string("--") + option.longName);
    if (option.negatable) {
        usage.names.push_back(std::string("--no-") + option.longName);
    }
    usage.value = option.valueName != nullptr ? option.valueName : "";
    usage.kind = option.kind;
    usage.description = description;
    return usage;
}

std::vector<UsageEntry> ExitStatusEntries(Program program) {
    std::vector<UsageEntry> entries;
    for (const ExitStatusInfo& status : ExitStatusesOf(program)) {
        entries.push_back({std::to_string(status.value), status.meaning});
    }
    return entries;
}

ValueChoices Choices() {
    ValueChoices choices;
    for (int cpu = 0; cpu < kCpuTypeCount; ++cpu) {
        choices.cpus.emplace_back(CpuName(static_cast<CpuType>(cpu)));
    }
    for (int cpu = 0; cpu < kCpuTypeCount; ++cpu) {
        const std::string name = CpuName(static_cast<CpuType>(cpu));
        choices.cpus.push_back(name.substr(name.size() - 3));
    }
    for (MemoryRegion region : kAllRegions) {
        choices.regions.emplace_back(RegionName(region));
    }
    choices.fills = {"random", "erased"};
    return choices;
}
