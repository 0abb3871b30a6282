#include "PodInfoRecord.h"

namespace {

std::uint16_t LittleEndian(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

}  // namespace

PodInfoRecord PodInfoRecord::Parse(const std::uint8_t* reply) {
    PodInfoRecord record;
    record.marker = reply[1];
    record.cpu = reply[2];
    record.options = reply[3];
    for (int i = 0; i < kRegionCount; ++i) {
        const std::uint8_t* fields = reply + 4 + 6 * i;
        record.regions[i].start = LittleEndian(fields);
        record.regions[i].end = LittleEndian(fields + 2);
        record.regions[i].length = LittleEndian(fields + 4);
    }
    return record;
}

const char* PodInfoRecord::CpuText(std::uint8_t cpu) {
    switch (cpu) {
        case 0:
            return "[CPU] : DSP56F801";
        case 1:
            return "[CPU] : DSP56F803";
        case 2:
            return "[CPU] : DSP56F805";
        case 3:
            return "[CPU] : DSP56F807";
        default:
            return "[CPU] : Unknown";
    }
}

const char* PodInfoRecord::OptionText(std::uint8_t options) {
    switch (options) {
        case 0:
            return "[Option] : Not Erase All BFLASH, No Target Reset After Flash Writing";
        case 1:
            return "[Option] : Erase All BFLASH, No Target Reset After Flash Writing";
        case 2:
            return "[Option] : Not Erase All BFLASH, Target Reset After Flash Writing";
        case 3:
            return "[Option] : Erase All BFLASH, Target Reset After Flash Writing";
        default:
            return "[Option] : Unknown";
    }
}
