#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "MemoryRegion.h"
#include "OptionTable.h"

// Where a board's serial number goes (--serial-at REGION:ADDRESS).
struct SerialAddress {
    MemoryRegion region = MemoryRegion::PFLASH;
    std::uint32_t address = 0;
    std::string text;  // as given, for the messages that quote it
};

// Each typed value as a user writes it, read once while the command line is parsed. A reader
// returns nothing for a value that is not one; Refusal says so in the option's words.

inline constexpr const char* kCpuChoices =
    "DSP56F801, DSP56F803, DSP56F805, DSP56F807 or 801, 803, 805, 807";

// What the command line says about a value of the option that is not one.
std::string Refusal(const OptionInfo& option, const std::string& value);

// Regions, blanks around each name and empty names left out. The first name that is no
// region goes into `unknown`.
std::optional<std::vector<MemoryRegion>> ReadRegionList(const std::vector<std::string>& names,
                                                        std::string& unknown);
// "REGION:ADDRESS", the address in hex with or without 0x.
std::optional<SerialAddress> ReadSerialAddress(const std::string& text);
// Decimal digits only, within the option's range.
std::optional<std::uint64_t> ReadCount(const OptionInfo& option, const std::string& text);
// The 64 hex digits of a SHA-256, in any letter case; in lower case, as the records keep it.
std::optional<std::string> ReadSha256(const std::string& text);
