#pragma once

#include <cstddef>
#include <cstdint>

// Decoding the character pairs of a record that is all hexadecimal digits, many at a time.
namespace HexPairs {

// Characters DecodeChecked may read past the last pair it decodes.
inline constexpr std::size_t kReadAhead = 32;
// Bytes it may write past the last byte it decodes.
inline constexpr std::size_t kWriteAhead = 16;

// Decodes `pairs` character pairs of `text` into `bytes` (first character the high nibble).
// False, with `bytes` undefined, when any of the 2 * pairs characters is not one of
// 0-9, A-F, a-f. Reads up to kReadAhead characters after the pairs and writes up to
// kWriteAhead bytes after the decoded ones: the caller makes both readable and writable.
// `sum`, when all are digits, is the sum of the decoded bytes.
bool DecodeChecked(const unsigned char* text, std::size_t pairs, std::uint8_t* bytes,
                   unsigned& sum);

}  // namespace HexPairs
