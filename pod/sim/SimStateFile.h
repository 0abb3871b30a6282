#pragma once

#include <cstdint>
#include <string>
#include <vector>

class SimEeprom;
class SimTarget;

// Keeps what a real pod and board keep between runs: the target's program and data memory
// and the pod's EEPROM. One run can write and a later run verify.
//
// Binary, all numbers little-endian:
//   8 bytes  "VXPODSIM"
//   u32      version, 1
//   65536 x u16  program space, then 65536 x u16 data space
//   27 bytes the EEPROM info record as O returns it after its "!"
//   u32      number of EEPROM blocks, then per block: u8 region (0-3), u16 index (< 256),
//            u16 word count (1-132), the words
//   u32      CRC-32 (IEEE 802.3) of every byte before it
// Loading checks all of it and changes nothing unless the whole file is sound.
class SimStateFile {
public:
    static constexpr std::uint32_t kVersion = 1;

    static bool Save(const SimTarget& target, const SimEeprom& eeprom, const std::string& path,
                     std::string* error);
    static bool Load(const std::string& path, SimTarget& target, SimEeprom& eeprom,
                     std::string* error);

    // The same over bytes in memory.
    static std::vector<std::uint8_t> Encode(const SimTarget& target, const SimEeprom& eeprom);
    static bool Decode(const std::vector<std::uint8_t>& bytes, SimTarget& target, SimEeprom& eeprom,
                       std::string* error);

    static std::uint32_t Crc32(const std::uint8_t* data, std::size_t size);
};
