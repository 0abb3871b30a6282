#include "SimTarget.h"

#include <utility>

#include "SimTiming.h"

SimTarget::SimTarget() : program_(kSpaceWords, 0xFFFF), data_(kSpaceWords, 0xFFFF) {}

void SimTarget::Fill(const SimFill& fill) {
    if (fill.kind != SimFill::Kind::Random) {
        const std::uint16_t word = fill.kind == SimFill::Kind::Word ? fill.word : 0xFFFF;
        program_.assign(kSpaceWords, word);
        data_.assign(kSpaceWords, word);
        return;
    }
    std::uint32_t state = fill.seed != 0 ? fill.seed : SimFill::kDefaultSeed;
    for (std::vector<std::uint16_t>* space : {&program_, &data_}) {
        for (std::uint16_t& word : *space) {
            word = SimFill::NextWord(state);
        }
    }
}

void SimTarget::Reset() {
    mode_ = DebugMode::Off;
    firmwareLoaded_ = false;
}

bool SimTarget::EnterDebugMode(std::uint32_t argument) {
    if (argument > 1) {
        return false;
    }
    mode_ = argument == 1 ? DebugMode::Program : DebugMode::VerifyOnly;
    firmwareLoaded_ = false;
    return true;
}

bool SimTarget::DownloadFirmware(std::uint32_t cpuCode, std::uint32_t programRamStart) {
    if (mode_ != DebugMode::Program || cpuCode > 3) {
        return false;
    }
    const auto cpu = static_cast<CpuType>(cpuCode);
    if (programRamStart != MemoryMapFor(cpu).ProgramRam.start) {
        return false;
    }
    cpu_ = cpu;
    programRamStart_ = programRamStart;
    firmwareLoaded_ = true;
    return true;
}

bool SimTarget::CanProgram(std::uint32_t programRamStart) const {
    return mode_ == DebugMode::Program && firmwareLoaded_ && cpu_.has_value() &&
           programRamStart == programRamStart_;
}

std::optional<SimTarget::RegionTarget> SimTarget::RegionForErase(std::uint32_t code) const {
    const CpuMemoryMap map = MemoryMapFor(*cpu_);
    switch (code) {
        case kEraseDflashPage:
            return RegionTarget{map.DFLASH, false};
        case kErasePflashPage:
            return RegionTarget{map.PFLASH, true};
        case kEraseP2flashPage:
            return RegionTarget{map.P2FLASH, true};
        case kEraseBflashPage:
        case kEraseWholeBoot:
            return RegionTarget{map.BFLASH, true};
        default:
            return std::nullopt;
    }
}

std::optional<SimTarget::RegionTarget> SimTarget::RegionForWrite(std::uint32_t code) const {
    const CpuMemoryMap map = MemoryMapFor(*cpu_);
    switch (code) {
        case kWriteDflash:
            return RegionTarget{map.DFLASH, false};
        case kWritePflash:
            return RegionTarget{map.PFLASH, true};
        case kWriteBflash:
            return RegionTarget{map.BFLASH, true};
        case kWriteP2flash:
            return RegionTarget{map.P2FLASH, true};
        default:
            return std::nullopt;
    }
}

std::optional<std::uint64_t> SimTarget::Erase(std::uint32_t code, std::uint32_t page,
                                              std::uint32_t programRamStart) {
    if (!CanProgram(programRamStart)) {
        return std::nullopt;
    }
    const std::optional<RegionTarget> region = RegionForErase(code);
    // P2FLASH of the smaller CPUs is the empty range 0-0.
    if (!region || region->area.size == 0) {
        return std::nullopt;
    }
    std::vector<std::uint16_t>& cells = Space(region->programSpace);
    if (code == kEraseWholeBoot) {
        for (std::uint32_t a = region->area.start; a <= region->area.end; ++a) {
            cells[a] = 0xFFFF;
        }
        return SimTiming::kMassEraseUs;
    }
    // The page field carries only seven bits of the page number, so a page names the
    // region's 256 words whose address without bit 15 lies in that page: on the DSP56F807
    // boot flash pages 0x78..0x7F are 0xF800..0xFFFF. No region spans more than 128 pages,
    // so the match is unique.
    bool erased = false;
    for (std::uint32_t a = region->area.start; a <= region->area.end; ++a) {
        if (((a & 0x7FFF) >> 8) == page) {
            cells[a] = 0xFFFF;
            erased = true;
        }
    }
    if (!erased) {
        return std::nullopt;
    }
    return SimTiming::kPageEraseUs;
}

bool SimTarget::PageOutsideRegion(std::uint32_t code, std::uint32_t page,
                                  std::uint32_t programRamStart) const {
    if (!CanProgram(programRamStart) || code == kEraseWholeBoot) {
        return false;
    }
    const std::optional<RegionTarget> region = RegionForErase(code);
    if (!region) {
        return false;
    }
    if (region->area.size == 0) {
        return true;
    }
    // No region crosses 0x8000, so its seven-bit pages are one run.
    const std::uint32_t first = (region->area.start & 0x7FFF) >> 8;
    const std::uint32_t last = (region->area.end & 0x7FFF) >> 8;
    return page < first || page > last;
}

std::optional<std::uint64_t> SimTarget::Program(std::uint32_t writeCode, std::uint32_t start,
                                                std::uint32_t programRamStart,
                                                std::uint32_t blockParameter,
                                                const std::vector<std::uint16_t>& words) {
    if (!CanProgram(programRamStart) || words.empty() ||
        blockParameter != BlockParameterFor(*cpu_)) {
        return std::nullopt;
    }
    const std::optional<RegionTarget> region = RegionForWrite(writeCode);
    if (!region || region->area.size == 0) {
        return std::nullopt;
    }
    const std::uint64_t last = std::uint64_t{start} + words.size() - 1;
    if (start < region->area.start || last > region->area.end) {
        return std::nullopt;
    }
    std::vector<std::uint16_t>& cells = Space(region->programSpace);
    for (std::size_t i = 0; i < words.size(); ++i) {
        cells[start + i] &= words[i];
    }
    return SimTiming::kWordProgramUs * words.size();
}

bool SimTarget::Compare(bool programSpace, std::uint32_t start,
                        const std::vector<std::uint16_t>& words) const {
    if (!CanCompare() || words.empty() || std::uint64_t{start} + words.size() > kSpaceWords) {
        return false;
    }
    const std::vector<std::uint16_t>& cells = programSpace ? program_ : data_;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (cells[start + i] != words[i]) {
            return false;
        }
    }
    return true;
}

std::uint16_t SimTarget::ProgramWord(std::uint32_t address) const {
    return program_[address & 0xFFFF];
}

std::uint16_t SimTarget::DataWord(std::uint32_t address) const {
    return data_[address & 0xFFFF];
}

void SimTarget::SetProgramWord(std::uint32_t address, std::uint16_t word) {
    program_[address & 0xFFFF] = word;
}

void SimTarget::SetDataWord(std::uint32_t address, std::uint16_t word) {
    data_[address & 0xFFFF] = word;
}

void SimTarget::RestoreSpaces(std::vector<std::uint16_t> program, std::vector<std::uint16_t> data) {
    if (program.size() == kSpaceWords && data.size() == kSpaceWords) {
        program_ = std::move(program);
        data_ = std::move(data);
    }
}

std::uint32_t SimTarget::BlockParameterFor(CpuType cpu) {
    return cpu == CpuType::DSP56F801 ? 0x0300 : 0x0400;
}
