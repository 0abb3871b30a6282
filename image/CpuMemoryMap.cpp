#include "CpuMemoryMap.h"

namespace {

constexpr AddressArea Area(std::uint32_t start, std::uint32_t end, std::uint32_t size) {
    return AddressArea{start, end, size};
}

}  // namespace

const AddressArea& CpuMemoryMap::Region(MemoryRegion region) const {
    switch (region) {
        case MemoryRegion::PFLASH:
            return PFLASH;
        case MemoryRegion::P2FLASH:
            return P2FLASH;
        case MemoryRegion::BFLASH:
            return BFLASH;
        case MemoryRegion::DFLASH:
            break;
    }
    return DFLASH;
}

CpuMemoryMap MemoryMapFor(CpuType cpu) {
    CpuMemoryMap map;
    switch (cpu) {
        case CpuType::DSP56F801:
            map.PFLASH = Area(0x0000, 0x1FFF, 0x2000);
            map.P2FLASH = Area(0x0000, 0x0000, 0);
            map.ProgramRam = Area(0x7C00, 0x7FFF, 0x400);
            map.BFLASH = Area(0x8000, 0x87FF, 0x800);
            map.DFLASH = Area(0x1000, 0x17FF, 0x800);
            map.DataRam = Area(0x0000, 0x03FF, 0x400);
            break;
        case CpuType::DSP56F803:
        case CpuType::DSP56F805:
            map.PFLASH = Area(0x0000, 0x7DFF, 0x7E00);
            map.P2FLASH = Area(0x0000, 0x0000, 0);
            map.ProgramRam = Area(0x7E00, 0x7FFF, 0x200);
            map.BFLASH = Area(0x8000, 0x87FF, 0x800);
            map.DFLASH = Area(0x1000, 0x1FFF, 0x1000);
            map.DataRam = Area(0x0000, 0x07FF, 0x800);
            break;
        case CpuType::DSP56F807:
            map.PFLASH = Area(0x0000, 0x7FFF, 0x8000);
            map.P2FLASH = Area(0x8000, 0xEFFF, 0x7000);
            map.ProgramRam = Area(0xF000, 0xF7FF, 0x800);
            map.BFLASH = Area(0xF800, 0xFFFF, 0x800);
            map.DFLASH = Area(0x2000, 0x3FFF, 0x2000);
            map.DataRam = Area(0x0000, 0x0FFF, 0x1000);
            break;
    }
    return map;
}

bool CpuHasRegion(CpuType cpu, MemoryRegion region) {
    return region != MemoryRegion::P2FLASH || cpu == CpuType::DSP56F807;
}
