#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// The texts of one hex view row, composed in fixed buffers so that painting allocates nothing
// per row. Each function returns the number of characters written (no terminator counted).
class HexRowText {
public:
    static constexpr std::size_t kAddressBufferSize = 32;
    static constexpr std::size_t kWordBufferSize = 1024;
    static constexpr std::size_t kCharBufferSize = 512;
    // Bytes one call formats at most; the layout never puts more on a row.
    static constexpr std::uint32_t kMaxBytes = 340;

    // Upper-case hex with leading zeros to `digits` (at most 31); a longer value prints in full.
    static std::size_t Address(std::span<char, kAddressBufferSize> out, std::uint32_t address,
                               std::uint32_t digits);

    // Little-endian words: bytes p, p+1 show as the digits of p+1 then p, words separated by
    // one space. A lone last byte shows in the low half of its word, the high half blank.
    static std::size_t Words(std::span<char, kWordBufferSize> out, const std::uint8_t* bytes,
                             std::uint32_t count);

    // Each byte as itself when printable ASCII (0x20-0x7E), else '.'.
    static std::size_t Chars(std::span<char, kCharBufferSize> out, const std::uint8_t* bytes,
                             std::uint32_t count);
};
