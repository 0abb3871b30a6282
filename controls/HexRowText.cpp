#include "HexRowText.h"

#include <algorithm>

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

static_assert(HexRowText::kMaxBytes / 2 * 5 <= HexRowText::kWordBufferSize);
static_assert(HexRowText::kMaxBytes < HexRowText::kCharBufferSize);

void PutByte(char* out, std::uint8_t value) {
    out[0] = kHexDigits[value >> 4];
    out[1] = kHexDigits[value & 0x0F];
}

}  // namespace

std::size_t HexRowText::Address(std::span<char, kAddressBufferSize> out, std::uint32_t address,
                                std::uint32_t digits) {
    std::size_t natural = 1;
    for (std::uint32_t rest = address >> 4; rest != 0; rest >>= 4) {
        ++natural;
    }
    const std::size_t width = std::max<std::size_t>(natural, std::min<std::uint32_t>(digits, 31));
    for (std::size_t i = 0; i < width; ++i) {
        const std::size_t shift = 4 * (width - 1 - i);
        out[i] = shift < 32 ? kHexDigits[(address >> shift) & 0x0F] : '0';
    }
    out[width] = '\0';
    return width;
}

std::size_t HexRowText::Words(std::span<char, kWordBufferSize> out, const std::uint8_t* bytes,
                              std::uint32_t count) {
    count = std::min(count, kMaxBytes);
    std::size_t n = 0;
    for (std::uint32_t p = 0; p < count; p += 2) {
        if (p + 1 < count) {
            PutByte(&out[n], bytes[p + 1]);
        } else {
            out[n] = out[n + 1] = ' ';
        }
        PutByte(&out[n + 2], bytes[p]);
        out[n + 4] = ' ';
        n += 5;
    }
    return n == 0 ? 0 : n - 1;  // no separator after the last word
}

std::size_t HexRowText::Chars(std::span<char, kCharBufferSize> out, const std::uint8_t* bytes,
                              std::uint32_t count) {
    count = std::min(count, kMaxBytes);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t b = bytes[i];
        out[i] = b >= 0x20 && b <= 0x7E ? static_cast<char>(b) : '.';
    }
    out[count] = '\0';
    return count;
}
