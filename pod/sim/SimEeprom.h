#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "SimFill.h"

// The pod's serial EEPROM: image blocks of up to 132 words per region and the info record
// that the O command returns.
//
// A session starts with K. The first N, Y or Z of a session begins a new image: the old
// blocks go and the record is cleared with its marker, which only Z sets to "w" again. So an
// image whose writing stopped half way is never reported as stored. The abort frame "?"
// clears the marker for the same reason (the blocks written so far stay, unreferenced).
// A blank EEPROM reads 0xFF everywhere, so a new pod reports marker 0xFF: no image.
class SimEeprom {
public:
    static constexpr std::uint32_t kBlockWords = 132;
    static constexpr std::uint32_t kMaxBlocksPerRegion = 256;  // 33792 words > any region
    static constexpr std::uint32_t kRegionCount = 4;
    static constexpr std::uint8_t kImageMarker = 'w';
    static constexpr std::size_t kRecordBytes = 27;  // the O reply without its "!"
    static constexpr std::size_t kInfoReplyBytes = 28;

    struct RegionInfo {
        std::uint16_t start = 0;
        std::uint16_t end = 0;
        std::uint16_t length = 0;
    };
    struct InfoRecord {
        std::uint8_t marker = 0;
        std::uint8_t cpu = 0;
        std::uint8_t option = 0;
        std::array<RegionInfo, kRegionCount> regions{};  // PFLASH, P2FLASH, BFLASH, DFLASH
    };
    using BlockKey = std::pair<std::uint32_t, std::uint32_t>;  // region, block index
    using Blocks = std::map<BlockKey, std::vector<std::uint16_t>>;

    SimEeprom();

    // Erased: blank, as from the factory. Otherwise a stale image of a DSP56F801 (a CPU this
    // host never stores), its words from the fill's seed.
    void Fill(const SimFill& fill);

    void BeginSession();                       // K
    void EndSession() { inSession_ = false; }  // L
    void Abort();                              // ?
    bool InSession() const { return inSession_; }

    // N: returns the write time, nullopt when refused (no session, bad region, index or size).
    std::optional<std::uint64_t> StoreBlock(std::uint32_t region, std::uint32_t index,
                                            const std::vector<std::uint16_t>& words);
    // Q: true when the block is stored and equal.
    bool CompareBlock(std::uint32_t region, std::uint32_t index,
                      const std::vector<std::uint16_t>& words) const;
    bool SetRegionInfo(std::uint32_t region, std::uint32_t start, std::uint32_t end,
                       std::uint32_t length);                    // Y
    bool SetImageInfo(std::uint32_t cpu, std::uint32_t option);  // Z

    // "!" then the record, little-endian.
    std::array<std::uint8_t, kInfoReplyBytes> InfoReply() const;
    const InfoRecord& Record() const { return record_; }
    const Blocks& StoredBlocks() const { return blocks_; }
    const std::vector<std::uint16_t>* Block(std::uint32_t region, std::uint32_t index) const;

    // The record as stored (kRecordBytes bytes) and back.
    std::array<std::uint8_t, kRecordBytes> EncodeRecord() const;
    static InfoRecord DecodeRecord(const std::array<std::uint8_t, kRecordBytes>& bytes);
    // Replaces the contents, e.g. from a state file; ends any session.
    void Restore(const InfoRecord& record, Blocks blocks);

    // What the next N for a region must be, as seen by the image the session is writing (a
    // session that has not begun its image yet starts every region afresh): the index of the
    // next block, or nullopt once a block shorter than kBlockWords has ended the region.
    std::optional<std::uint32_t> NextBlockIndex(std::uint32_t region) const;
    // Words stored for a region in the image being written (0 before it has begun).
    std::uint32_t WordsStored(std::uint32_t region) const;

    static bool ValidBlock(std::uint32_t region, std::uint32_t index, std::size_t words);

private:
    void BeginImageOnce();

    InfoRecord record_;
    Blocks blocks_;
    bool inSession_ = false;
    bool imageBegun_ = false;
};
