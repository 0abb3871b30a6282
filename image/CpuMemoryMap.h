#pragma once

#include <cstdint>

#include "CpuType.h"
#include "MemoryRegion.h"

// One address range in words, end inclusive.
struct AddressArea {
    std::uint32_t start = 0;
    std::uint32_t end = 0;
    std::uint32_t size = 0;

    bool Contains(std::uint32_t address) const { return address >= start && address <= end; }
};

// Flash and RAM areas of one controller. PFLASH, P2FLASH, ProgramRam and BFLASH lie in
// program space; DFLASH and DataRam in data space.
struct CpuMemoryMap {
    AddressArea PFLASH;
    AddressArea P2FLASH;
    AddressArea ProgramRam;
    AddressArea BFLASH;
    AddressArea DFLASH;
    AddressArea DataRam;

    const AddressArea& Region(MemoryRegion region) const;
};

CpuMemoryMap MemoryMapFor(CpuType cpu);

// Whether the CPU has the region at all: P2FLASH exists only on the DSP56F807.
bool CpuHasRegion(CpuType cpu, MemoryRegion region);
