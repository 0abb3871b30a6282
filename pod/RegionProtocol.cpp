#include "RegionProtocol.h"

namespace {

// In MemoryRegion order: PFLASH, P2FLASH, BFLASH, DFLASH.
constexpr RegionProtocol kRegions[kRegionCount] = {
    {"PFLASH Erasing...", "PFLASH Writing...", "PFLASH Verifying...", 0x04, 0x05, 'P',
     kTargetPflashEraseError, kTargetPflashWriteError, kTargetPflashVerifyError, 0,
     "PFLASH EEPROM Writing...", "PFLASH EEPROM Verifying...", kEepromPflashWriteError,
     kEepromPflashVerifyError},
    {"P2FLASH Erasing...", "P2FLASH Writing...", "P2FLASH Verifying...", 0x08, 0x09, 'P',
     kTargetP2flashEraseError, kTargetP2flashWriteError, kTargetP2flashVerifyError, 1,
     "P2FLASH EEPROM Writing...", "P2FLASH EEPROM Verifying...", kEepromP2flashWriteError,
     kEepromP2flashVerifyError},
    {"BFLASH Erasing...", "BFLASH Writing...", "BFLASH Verifying...", 0x0A, 0x07, 'P',
     kTargetBflashEraseError, kTargetBflashWriteError, kTargetBflashVerifyError, 2,
     "BFLASH EEPROM Writing...", "BFLASH EEPROM Verifying...", kEepromBflashWriteError,
     kEepromBflashVerifyError},
    {"DFLASH Erasing...", "DFLASH Writing...", "DFLASH Verifying...", 0x02, 0x03, 'V',
     kTargetDflashEraseError, kTargetDflashWriteError, kTargetDflashVerifyError, 3,
     "DFLASH EEPROM Writing...", "DFLASH EEPROM Verifying...", kEepromDflashWriteError,
     kEepromDflashVerifyError},
};

}  // namespace

const RegionProtocol& RegionProtocol::For(MemoryRegion region) {
    return kRegions[RegionIndex(region)];
}
