#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

// A second, deliberately plain reading of S-record text, written from the documented rules
// rather than from the reader under test: whitespace tokens, S3 records only and none after
// a well-formed S7, S8 or S9 end record, no word past address 0xFFFFFFFF, the four flash regions of
// each CPU with the vector words at 0-3 going to the boot flash. The fuzzer compares the
// real reader's image with this one word for word.
class ReferenceSRecordReader {
public:
    struct Region {
        std::uint32_t start = 0;  // region start in the map (data-space address for DFLASH)
        std::uint32_t end = 0;
        std::vector<std::uint16_t> words;
        std::uint32_t stored = 0;  // words stored, without 16-bit wrap
        bool loaded = false;
        std::uint32_t minAddress = 0;
        std::uint32_t maxAddress = 0;
    };

    // cpu 0..3 (DSP56F801 .. DSP56F807); capacities as the image's fixed storage.
    ReferenceSRecordReader(int cpu, const std::array<std::uint32_t, 4>& capacities);

    // Erased words, nothing loaded: ready for the next text without allocating again.
    void Clear();
    void Read(std::string_view text);

    const Region& At(int region) const { return regions_[static_cast<std::size_t>(region)]; }
    // S3 records of the last text that were used whole: every character a hex digit, as
    // many as the byte count says, a matching checksum, whole words of data.
    std::uint32_t WellFormedRecords() const { return wellFormed_; }
    // S0, S5, S6, S7, S8 and S9 records used whole: well-formed as above, the byte count of
    // all but S0 covering their address and checksum alone, and no end record after the
    // first.
    std::uint32_t WellFormedOtherRecords() const { return wellFormedOther_; }

private:
    void Record(std::string_view token);
    void Store(std::uint32_t address, std::uint16_t word);
    void Put(int region, std::uint32_t element, std::uint32_t recorded, std::uint16_t word);

    // Hex digits, as long as the byte count says, at least the address and checksum counted
    // (exactly those when `exactCount`), and a matching checksum.
    static bool WellFormed(std::string_view token, std::uint32_t addressBytes, bool exactCount);

    int cpu_;
    std::array<Region, 4> regions_;  // PFLASH, P2FLASH, BFLASH, DFLASH
    bool ended_ = false;
    std::uint32_t wellFormed_ = 0;
    std::uint32_t wellFormedOther_ = 0;
};
