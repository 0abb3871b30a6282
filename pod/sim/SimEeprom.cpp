#include "SimEeprom.h"

#include "SimTiming.h"

namespace {

SimEeprom::InfoRecord BlankRecord() {
    SimEeprom::InfoRecord record;
    record.marker = 0xFF;
    record.cpu = 0xFF;
    record.option = 0xFF;
    for (SimEeprom::RegionInfo& region : record.regions) {
        region = {0xFFFF, 0xFFFF, 0xFFFF};
    }
    return record;
}

}  // namespace

SimEeprom::SimEeprom() : record_(BlankRecord()) {}

void SimEeprom::Fill(const SimFill& fill) {
    inSession_ = false;
    imageBegun_ = false;
    blocks_.clear();
    if (fill.kind == SimFill::Kind::Erased) {
        record_ = BlankRecord();
        return;
    }
    // DSP56F801, both options: PFLASH 0x0000-0x01FF, BFLASH 0x8000-0x807F, DFLASH 0x1000-0x10FF.
    record_ = InfoRecord{kImageMarker, 0, 3, {}};
    record_.regions[0] = {0x0000, 0x01FF, 0x0200};
    record_.regions[2] = {0x8000, 0x807F, 0x0080};
    record_.regions[3] = {0x1000, 0x10FF, 0x0100};
    std::uint32_t state = (fill.seed ^ 0xEE9A) != 0 ? fill.seed ^ 0xEE9A : SimFill::kDefaultSeed;
    for (std::uint32_t region = 0; region < kRegionCount; ++region) {
        std::uint32_t left = record_.regions[region].length;
        for (std::uint32_t index = 0; left != 0; ++index) {
            const std::uint32_t words = left < kBlockWords ? left : kBlockWords;
            std::vector<std::uint16_t>& block = blocks_[{region, index}];
            for (std::uint32_t i = 0; i < words; ++i) {
                block.push_back(SimFill::NextWord(state));
            }
            left -= words;
        }
    }
}

void SimEeprom::BeginSession() {
    inSession_ = true;
    imageBegun_ = false;
}

void SimEeprom::Abort() {
    inSession_ = false;
    record_.marker = 0;
}

void SimEeprom::BeginImageOnce() {
    if (imageBegun_) {
        return;
    }
    imageBegun_ = true;
    blocks_.clear();
    record_ = InfoRecord{};
}

std::optional<std::uint32_t> SimEeprom::NextBlockIndex(std::uint32_t region) const {
    if (!imageBegun_) {
        return 0;
    }
    std::uint32_t next = 0;
    for (auto it = blocks_.lower_bound({region, 0});
         it != blocks_.end() && it->first.first == region; ++it) {
        if (it->second.size() < kBlockWords) {
            return std::nullopt;
        }
        next = it->first.second + 1;
    }
    return next;
}

std::uint32_t SimEeprom::WordsStored(std::uint32_t region) const {
    if (!imageBegun_) {
        return 0;
    }
    std::uint32_t words = 0;
    for (auto it = blocks_.lower_bound({region, 0});
         it != blocks_.end() && it->first.first == region; ++it) {
        words += static_cast<std::uint32_t>(it->second.size());
    }
    return words;
}

bool SimEeprom::ValidBlock(std::uint32_t region, std::uint32_t index, std::size_t words) {
    return region < kRegionCount && index < kMaxBlocksPerRegion && words >= 1 &&
           words <= kBlockWords;
}

std::optional<std::uint64_t> SimEeprom::StoreBlock(std::uint32_t region, std::uint32_t index,
                                                   const std::vector<std::uint16_t>& words) {
    if (!inSession_ || !ValidBlock(region, index, words.size())) {
        return std::nullopt;
    }
    BeginImageOnce();
    blocks_[{region, index}] = words;
    return SimTiming::EepromWriteUs(static_cast<std::uint32_t>(words.size() * 2));
}

bool SimEeprom::CompareBlock(std::uint32_t region, std::uint32_t index,
                             const std::vector<std::uint16_t>& words) const {
    const std::vector<std::uint16_t>* stored = Block(region, index);
    return stored != nullptr && *stored == words;
}

bool SimEeprom::SetRegionInfo(std::uint32_t region, std::uint32_t start, std::uint32_t end,
                              std::uint32_t length) {
    if (!inSession_ || region >= kRegionCount) {
        return false;
    }
    BeginImageOnce();
    record_.regions[region] = {static_cast<std::uint16_t>(start), static_cast<std::uint16_t>(end),
                               static_cast<std::uint16_t>(length)};
    return true;
}

bool SimEeprom::SetImageInfo(std::uint32_t cpu, std::uint32_t option) {
    if (!inSession_) {
        return false;
    }
    BeginImageOnce();
    record_.cpu = static_cast<std::uint8_t>(cpu);
    record_.option = static_cast<std::uint8_t>(option);
    record_.marker = kImageMarker;
    return true;
}

const std::vector<std::uint16_t>* SimEeprom::Block(std::uint32_t region,
                                                   std::uint32_t index) const {
    const auto it = blocks_.find({region, index});
    return it == blocks_.end() ? nullptr : &it->second;
}

std::array<std::uint8_t, SimEeprom::kRecordBytes> SimEeprom::EncodeRecord() const {
    std::array<std::uint8_t, kRecordBytes> bytes{};
    bytes[0] = record_.marker;
    bytes[1] = record_.cpu;
    bytes[2] = record_.option;
    std::size_t pos = 3;
    for (const RegionInfo& region : record_.regions) {
        for (const std::uint16_t value : {region.start, region.end, region.length}) {
            bytes[pos++] = static_cast<std::uint8_t>(value & 0xFF);
            bytes[pos++] = static_cast<std::uint8_t>(value >> 8);
        }
    }
    return bytes;
}

SimEeprom::InfoRecord SimEeprom::DecodeRecord(const std::array<std::uint8_t, kRecordBytes>& bytes) {
    InfoRecord record;
    record.marker = bytes[0];
    record.cpu = bytes[1];
    record.option = bytes[2];
    std::size_t pos = 3;
    for (RegionInfo& region : record.regions) {
        for (std::uint16_t* value : {&region.start, &region.end, &region.length}) {
            *value = static_cast<std::uint16_t>(bytes[pos] | (bytes[pos + 1] << 8));
            pos += 2;
        }
    }
    return record;
}

std::array<std::uint8_t, SimEeprom::kInfoReplyBytes> SimEeprom::InfoReply() const {
    std::array<std::uint8_t, kInfoReplyBytes> reply{};
    reply[0] = '!';
    const auto record = EncodeRecord();
    for (std::size_t i = 0; i < record.size(); ++i) {
        reply[i + 1] = record[i];
    }
    return reply;
}

void SimEeprom::Restore(const InfoRecord& record, Blocks blocks) {
    record_ = record;
    blocks_ = std::move(blocks);
    inSession_ = false;
    imageBegun_ = false;
}
