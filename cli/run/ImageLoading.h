#pragma once

#include <optional>
#include <string>
#include <vector>

#include "CpuType.h"
#include "MemoryRegion.h"
#include "RegionRows.h"

class ConsoleUi;
class SFileImage;

// Reads FILE for a CPU as File Load does and lists its rows. Reports on the console with
// File Load's texts; reader findings are warnings, or with `strict` an input error.
// Returns kExitSuccess or kExitInputError. `sha256`, when given, receives the SHA-256 of the
// bytes loaded (empty when the file could not be read). `refusal` ends the message that
// refuses a file with findings under `strict`, after its name.
int LoadImageFile(const std::string& path, CpuType cpu, bool strict, SFileImage& image,
                  std::vector<RegionRow>& rows, ConsoleUi& ui, std::string* sha256 = nullptr,
                  const std::string& refusal = " refused (--strict)");

// The listed row of a region, or null when the file does not fill it.
const RegionRow* FindRow(const std::vector<RegionRow>& rows, MemoryRegion region);
