#pragma once

#include <cstdint>

#include "MemoryRegion.h"
#include "PodResult.h"

// What the pod protocol and the displays need to know about one flash region.
struct RegionProtocol {
    // Target flash work.
    const char* erasingText;
    const char* writingText;
    const char* verifyingText;
    std::uint8_t eraseCode;  // X, one page
    std::uint8_t writeCode;  // W
    char verifyLetter;       // 'P' program memory, 'V' data memory
    PodResult eraseError;
    PodResult writeError;
    PodResult verifyError;
    // Pod EEPROM store.
    std::uint8_t number;  // region number of N, Q and Y frames
    const char* eepromWritingText;
    const char* eepromVerifyingText;
    PodResult eepromWriteError;
    PodResult eepromVerifyError;

    static const RegionProtocol& For(MemoryRegion region);
};

// X erase code for the whole boot flash, sent with page 0.
inline constexpr std::uint8_t kEraseWholeBootFlash = 0x06;
