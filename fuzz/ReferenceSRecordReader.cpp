#include "ReferenceSRecordReader.h"

#include <algorithm>

namespace {

constexpr std::uint32_t kDataSpaceOffset = 0x200000;
constexpr std::size_t kLongestToken = 1023;

// Flash regions per CPU: {PFLASH, P2FLASH, BFLASH, DFLASH} as {start, end}.
constexpr std::uint32_t kMaps[4][4][2] = {
    {{0x0000, 0x1FFF}, {0x0000, 0x0000}, {0x8000, 0x87FF}, {0x1000, 0x17FF}},
    {{0x0000, 0x7DFF}, {0x0000, 0x0000}, {0x8000, 0x87FF}, {0x1000, 0x1FFF}},
    {{0x0000, 0x7DFF}, {0x0000, 0x0000}, {0x8000, 0x87FF}, {0x1000, 0x1FFF}},
    {{0x0000, 0x7FFF}, {0x8000, 0xEFFF}, {0xF800, 0xFFFF}, {0x2000, 0x3FFF}},
};

std::uint32_t Nibble(unsigned char c) {
    if (c >= '0' && c <= '9') {
        return c - 0x30u;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 0x57u;
    }
    return c - 0x37u;
}

std::uint32_t Byte(std::string_view text, std::size_t at) {
    return (16u * Nibble(static_cast<unsigned char>(text[at])) +
            Nibble(static_cast<unsigned char>(text[at + 1]))) &
           0xFFu;
}

bool Separator(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

}  // namespace

ReferenceSRecordReader::ReferenceSRecordReader(int cpu,
                                               const std::array<std::uint32_t, 4>& capacities)
    : cpu_(cpu) {
    for (int r = 0; r < 4; ++r) {
        Region& region = regions_[static_cast<std::size_t>(r)];
        region.start = kMaps[cpu][r][0];
        region.end = kMaps[cpu][r][1];
        region.words.assign(capacities[static_cast<std::size_t>(r)], 0xFFFF);
    }
}

void ReferenceSRecordReader::Clear() {
    for (Region& region : regions_) {
        std::fill(region.words.begin(), region.words.end(), std::uint16_t{0xFFFF});
        region.stored = 0;
        region.loaded = false;
        region.minAddress = region.maxAddress = 0;
    }
    ended_ = false;
    wellFormed_ = 0;
    wellFormedOther_ = 0;
}

void ReferenceSRecordReader::Read(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && Separator(text[i])) {
            ++i;
        }
        const std::size_t begin = i;
        while (i < text.size() && !Separator(text[i])) {
            ++i;
        }
        if (i > begin) {
            Record(text.substr(begin, i - begin));
        }
    }
}

bool ReferenceSRecordReader::WellFormed(std::string_view token, std::uint32_t addressBytes,
                                        bool exactCount) {
    if (token.size() > kLongestToken || token.size() % 2 != 0 ||
        token.find_first_not_of("0123456789ABCDEFabcdef", 2) != std::string_view::npos ||
        token.size() < 4) {
        return false;
    }
    const std::uint32_t count = Byte(token, 2);
    std::uint32_t sum = 0;
    for (std::size_t at = 2; at + 2 < token.size(); at += 2) {
        sum += Byte(token, at);
    }
    return count >= addressBytes + 1 && (!exactCount || count == addressBytes + 1) &&
           token.size() == 2 * count + 4 && ((~sum) & 0xFFu) == Byte(token, token.size() - 2);
}

void ReferenceSRecordReader::Record(std::string_view token) {
    const char kind = token.size() >= 2 && token[0] == 'S' ? token[1] : '\0';
    const bool endRecord = kind == '7' || kind == '8' || kind == '9';
    if (endRecord || kind == '0' || kind == '5' || kind == '6') {
        // Header, count and end records: address sizes 2, 2, 3 and 4, 3, 2 bytes. A record
        // that is not whole means nothing, and only the first end record ends the data.
        const std::uint32_t addressBytes = kind == '7' ? 4 : (kind == '6' || kind == '8') ? 3 : 2;
        if (!(ended_ && endRecord) && WellFormed(token, addressBytes, kind != '0')) {
            ++wellFormedOther_;
            ended_ = ended_ || endRecord;
        }
        return;
    }
    if (ended_) {
        return;
    }
    // Tokens the reader cannot hold whole are skipped whole.
    if (token.size() < 12 || token.size() > kLongestToken || token[0] != 'S' || token[1] != '3') {
        return;
    }
    wellFormed_ += WellFormed(token, 4, false) && Byte(token, 2) % 2 == 1;
    const std::uint32_t count = Byte(token, 2);
    const std::uint32_t address =
        (Byte(token, 4) << 24) | (Byte(token, 6) << 16) | (Byte(token, 8) << 8) | Byte(token, 10);
    const std::uint32_t words = count >= 5 ? (count - 5) / 2 : 0;
    for (std::uint32_t w = 0; w < words; ++w) {
        const std::size_t at = 12 + 4 * std::size_t{w};
        if (at + 4 > token.size()) {
            return;
        }
        if (std::uint64_t{address} + w > 0xFFFFFFFFu) {
            return;  // a word past the last address has none
        }
        Store(address + w,
              static_cast<std::uint16_t>(Byte(token, at) | (Byte(token, at + 2) << 8)));
    }
}

void ReferenceSRecordReader::Store(std::uint32_t a, std::uint16_t word) {
    const auto& map = kMaps[cpu_];
    if (a >= map[0][0] + 4 && a <= map[0][1]) {
        Put(0, a - map[0][0], a, word);
    }
    if (cpu_ == 3 && a >= map[1][0] && a <= map[1][1]) {
        Put(1, a - map[1][0], a, word);
    }
    if (a >= map[2][0] && a <= map[2][1]) {
        Put(2, a - map[2][0], a, word);
    } else if (a <= 3) {
        Put(2, a, map[2][0] + a, word);
    }
    if (a >= map[3][0] + kDataSpaceOffset && a <= map[3][1] + kDataSpaceOffset) {
        Put(3, a - kDataSpaceOffset - map[3][0], a - kDataSpaceOffset, word);
    }
}

void ReferenceSRecordReader::Put(int index, std::uint32_t element, std::uint32_t recorded,
                                 std::uint16_t word) {
    Region& region = regions_[static_cast<std::size_t>(index)];
    region.words.at(element) = word;
    ++region.stored;
    if (!region.loaded) {
        region.loaded = true;
        region.minAddress = region.maxAddress = recorded;
    } else if (recorded > region.maxAddress) {
        region.maxAddress = recorded;
    } else if (recorded < region.minAddress) {
        region.minAddress = recorded;
    }
}
