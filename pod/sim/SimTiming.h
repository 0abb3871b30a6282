#pragma once

#include <cstdint>

// How long things take on the simulated pod. The figures are those of the parts on a real
// pod: an FT232-class USB bridge, the DSP56F80x flash controller reached over the target's
// debug port, and a serial EEPROM that writes in 64-byte pages.
struct SimTiming {
    // The link. The bridge comes up at 9600 baud with a 16 ms latency timer; the pod's UART
    // listens at 921600 baud, 8 data bits, 1 stop bit, no parity (10 bits a byte).
    static constexpr std::uint32_t kPodBaud = 921600;
    static constexpr std::uint32_t kDefaultBaud = 9600;
    static constexpr std::uint32_t kBitsPerByte = 10;
    static constexpr std::uint8_t kDefaultLatencyMs = 16;
    static constexpr std::uint32_t kDefaultReadTimeoutMs = 200;
    static constexpr std::uint32_t kDefaultWriteTimeoutMs = 200;
    // The read and write time-outs the host sets after opening.
    static constexpr std::uint32_t kHostTimeoutMs = 200;

    // The pod's work on the target.
    static constexpr std::uint64_t kDebugEntryUs = 5'000;         // G: halt the core via OnCE
    static constexpr std::uint64_t kFirmwareDownloadUs = 50'000;  // M: flash routines into RAM
    static constexpr std::uint64_t kTargetResetUs = 10'000;       // R
    static constexpr std::uint64_t kPageEraseUs = 20'000;         // X: one 256-word page
    static constexpr std::uint64_t kMassEraseUs = 100'000;        // X code 0x06: whole boot flash
    static constexpr std::uint64_t kWordProgramUs = 40;           // W: per word
    static constexpr std::uint64_t kWordCompareUs = 10;           // P, V: per word read back

    // The pod's own EEPROM.
    static constexpr std::uint32_t kEepromPageBytes = 64;
    static constexpr std::uint64_t kEepromPageWriteUs = 5'000;
    static constexpr std::uint64_t kEepromReadUs = 1'000;  // Q block or O record

    // Wire time of n bytes at the given baud, rounded up to whole microseconds.
    static constexpr std::uint64_t WireUs(std::uint64_t bytes, std::uint32_t baud) {
        if (baud == 0) {
            return 0;
        }
        return (bytes * kBitsPerByte * 1'000'000 + baud - 1) / baud;
    }

    // A write of n bytes costs one page write per started 64-byte page.
    static constexpr std::uint64_t EepromWriteUs(std::uint32_t bytes) {
        const std::uint64_t pages =
            (std::uint64_t{bytes} + kEepromPageBytes - 1) / kEepromPageBytes;
        return (pages == 0 ? 1 : pages) * kEepromPageWriteUs;
    }
};
