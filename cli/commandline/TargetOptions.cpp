#include "commandline/TargetOptions.h"

#include "commandline/OptionReader.h"
#include "commandline/OptionValues.h"

constexpr OptionInfo kRegionRow = {
    Program::Cli, nullptr, "region", false, ValueKind::RegionName, "NAME",
    "PFLASH, P2FLASH, BFLASH or DFLASH (a region the file fills);\n"
    "default: the first region info lists",
    0, 0, nullptr};

constexpr OptionInfo kRegionsRow = {
    Program::Cli, nullptr, "regions", false, ValueKind::RegionList, "LIST",
    "comma-separated region names to process (PFLASH, P2FLASH,\n"
    "BFLASH, DFLASH, any letter case); default: every region the\n"
    "file fills (erase, blank-check: every region of the CPU's\n"
    "map). The regions always go in the order DFLASH, PFLASH,\nP2FLASH, BFLASH.",
    0, 0, nullptr};

constexpr OptionInfo kEraseAllBootRow = {
    Program::Cli, nullptr, "erase-all-boot", true, ValueKind::Flag, nullptr,
    "erase the whole boot flash before writing BFLASH (default),\n"
    "or only the boot flash pages the image touches",
    0, 0, nullptr};

constexpr OptionInfo kResetAfterRow = {
    Program::Cli, nullptr, "reset-after", true, ValueKind::Flag, nullptr,
    "reset the target board after success", 0, 0, nullptr};

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
