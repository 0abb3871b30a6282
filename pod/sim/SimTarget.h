#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "CpuMemoryMap.h"
#include "CpuType.h"
#include "SimFill.h"

// The target board as the pod sees it through the debug port: 64K words of program space and
// 64K words of data space, all flash cells. Programming only clears bits, as on NOR flash, so
// a word written over unerased cells reads back wrong at the next compare. Erase and program
// need debug mode for programming (G 1) and the flash routines downloaded (M); compare needs
// only debug mode. Every refusal is reported as nullopt / false: the pod then stays silent.
class SimTarget {
public:
    static constexpr std::uint32_t kSpaceWords = 0x10000;
    static constexpr std::uint32_t kPageWords = 0x100;

    // Erase codes of X and write codes of W.
    static constexpr std::uint32_t kEraseDflashPage = 0x02;
    static constexpr std::uint32_t kEraseWholeBoot = 0x06;
    static constexpr std::uint32_t kErasePflashPage = 0x04;
    static constexpr std::uint32_t kEraseP2flashPage = 0x08;
    static constexpr std::uint32_t kEraseBflashPage = 0x0A;
    static constexpr std::uint32_t kWriteDflash = 0x03;
    static constexpr std::uint32_t kWritePflash = 0x05;
    static constexpr std::uint32_t kWriteBflash = 0x07;
    static constexpr std::uint32_t kWriteP2flash = 0x09;

    enum class DebugMode { Off, VerifyOnly, Program };

    SimTarget();

    // Both spaces as the fill says (old firmware, erased, or one word everywhere); the state
    // of the debug port is left alone.
    void Fill(const SimFill& fill);

    // R: the core runs again; debug mode and the downloaded routines are gone.
    void Reset();
    // G: 1 allows programming, 0 only comparing. Re-entering debug mode drops the routines.
    bool EnterDebugMode(std::uint32_t argument);
    // M: the CPU code picks the memory map; the routines go to that CPU's program RAM, so a
    // RAM start other than the map's is refused.
    bool DownloadFirmware(std::uint32_t cpuCode, std::uint32_t programRamStart);
    // X: erases one page of the region named by the code, or the whole boot flash.
    // Returns the pod's working time.
    std::optional<std::uint64_t> Erase(std::uint32_t code, std::uint32_t page,
                                       std::uint32_t programRamStart);
    // An X for one page that the pod could carry out but whose page field names no page of
    // the region (of the CPU the routines were downloaded for).
    bool PageOutsideRegion(std::uint32_t code, std::uint32_t page,
                           std::uint32_t programRamStart) const;
    // W: programs words from start into the region named by the code. The range must lie in
    // that region of the CPU; the RAM start and block parameter must match the download.
    std::optional<std::uint64_t> Program(std::uint32_t writeCode, std::uint32_t start,
                                         std::uint32_t programRamStart,
                                         std::uint32_t blockParameter,
                                         const std::vector<std::uint16_t>& words);
    // P (program space) or V (data space): true when the cells from start equal the words.
    bool CanCompare() const { return mode_ != DebugMode::Off; }
    bool Compare(bool programSpace, std::uint32_t start,
                 const std::vector<std::uint16_t>& words) const;

    DebugMode Mode() const { return mode_; }
    bool FirmwareLoaded() const { return firmwareLoaded_; }
    std::optional<CpuType> Cpu() const { return cpu_; }

    std::uint16_t ProgramWord(std::uint32_t address) const;
    std::uint16_t DataWord(std::uint32_t address) const;
    void SetProgramWord(std::uint32_t address, std::uint16_t word);
    void SetDataWord(std::uint32_t address, std::uint16_t word);
    const std::vector<std::uint16_t>& ProgramSpace() const { return program_; }
    const std::vector<std::uint16_t>& DataSpace() const { return data_; }
    // Both vectors must hold kSpaceWords words.
    void RestoreSpaces(std::vector<std::uint16_t> program, std::vector<std::uint16_t> data);

    // The block parameter the routines expect for a CPU.
    static std::uint32_t BlockParameterFor(CpuType cpu);

private:
    struct RegionTarget {
        AddressArea area;
        bool programSpace = true;
    };
    std::optional<RegionTarget> RegionForErase(std::uint32_t code) const;
    std::optional<RegionTarget> RegionForWrite(std::uint32_t code) const;
    bool CanProgram(std::uint32_t programRamStart) const;
    std::vector<std::uint16_t>& Space(bool programSpace) { return programSpace ? program_ : data_; }

    std::vector<std::uint16_t> program_;
    std::vector<std::uint16_t> data_;
    DebugMode mode_ = DebugMode::Off;
    bool firmwareLoaded_ = false;
    std::optional<CpuType> cpu_;
    std::uint32_t programRamStart_ = 0;
};
