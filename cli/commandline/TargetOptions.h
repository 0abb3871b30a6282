#pragma once

#include <optional>
#include <string>
#include <vector>

#include "MemoryRegion.h"
#include "OptionTable.h"

class OptionReader;

// --regions: the regions named, in the order given.
using RegionList = std::vector<MemoryRegion>;

// The regions of the target a command works on. Each reader returns the refusal, or empty
// when what it reads is sound.

// --regions: absent means every region the file fills (or the CPU's map has).
std::string ReadRegionList(const OptionReader& reader, std::optional<RegionList>& regions);
// --region: the one region dump prints.
std::string ReadRegion(const OptionReader& reader, std::optional<MemoryRegion>& region);

// The rows of the options that say which regions of the target a command works on and how.
extern const OptionInfo kRegionRow;
extern const OptionInfo kRegionsRow;
extern const OptionInfo kEraseAllBootRow;
extern const OptionInfo kResetAfterRow;
