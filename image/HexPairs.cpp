#include "HexPairs.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define VANTIX_HEX_SSE2 1
#endif

namespace HexPairs {

#if VANTIX_HEX_SSE2

namespace {

// The nibbles of 16 characters, and in `valid` 0xFF for each that is a hex digit. Bytes of
// 0x80 and above compare as negative, so they are never digits.
inline __m128i Nibbles(__m128i c, __m128i& valid) {
    const __m128i digit = _mm_and_si128(_mm_cmpgt_epi8(c, _mm_set1_epi8('0' - 1)),
                                        _mm_cmplt_epi8(c, _mm_set1_epi8('9' + 1)));
    const __m128i lower = _mm_or_si128(c, _mm_set1_epi8(0x20));
    const __m128i letter = _mm_and_si128(_mm_cmpgt_epi8(lower, _mm_set1_epi8('a' - 1)),
                                         _mm_cmplt_epi8(lower, _mm_set1_epi8('f' + 1)));
    valid = _mm_or_si128(digit, letter);
    // '0'-'9' are 0x30-0x39, 'A'-'F' and 'a'-'f' end in 1-6: add 9 to the letters.
    return _mm_add_epi8(_mm_and_si128(c, _mm_set1_epi8(0x0F)),
                        _mm_and_si128(letter, _mm_set1_epi8(9)));
}

// Eight bytes from 16 nibbles, one in the low half of each 16-bit lane.
inline __m128i Bytes(__m128i nibbles) {
    const __m128i high = _mm_and_si128(_mm_slli_epi16(nibbles, 4), _mm_set1_epi16(0x00F0));
    return _mm_or_si128(high, _mm_srli_epi16(nibbles, 8));
}

// 16 bytes of 0xFF, then 16 of 0: loaded at 16 - n it keeps the first n bytes of a vector.
alignas(16) constexpr unsigned char kKeepFirst[32] = {
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

}  // namespace

bool DecodeChecked(const unsigned char* text, std::size_t pairs, std::uint8_t* bytes,
                   unsigned& sum) {
    const std::size_t characters = 2 * pairs;
    __m128i sums = _mm_setzero_si128();
    for (std::size_t at = 0; at < characters; at += 32) {
        __m128i valid0;
        __m128i valid1;
        const __m128i n0 = Nibbles(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + at)), valid0);
        const __m128i n1 = Nibbles(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + at + 16)), valid1);
        const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(valid0)) |
                              (static_cast<unsigned>(_mm_movemask_epi8(valid1)) << 16);
        const std::size_t left = characters - at;
        const unsigned needed = left >= 32 ? ~0u : (1u << left) - 1;
        if ((mask & needed) != needed) {
            return false;
        }
        const __m128i decoded = _mm_packus_epi16(Bytes(n0), Bytes(n1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(bytes + at / 2), decoded);
        const std::size_t kept = left >= 32 ? 16 : left / 2;
        const __m128i keep =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(kKeepFirst + 16 - kept));
        sums = _mm_add_epi64(sums, _mm_sad_epu8(_mm_and_si128(decoded, keep),
                                                 _mm_setzero_si128()));
    }
    sum = static_cast<unsigned>(_mm_cvtsi128_si32(sums)) +
          static_cast<unsigned>(_mm_cvtsi128_si32(_mm_unpackhi_epi64(sums, sums)));
    return true;
}

#else

namespace {

int Nibble(unsigned char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') {
        return (c | 0x20) - 'a' + 10;
    }
    return -1;
}

}  // namespace

bool DecodeChecked(const unsigned char* text, std::size_t pairs, std::uint8_t* bytes,
                   unsigned& sum) {
    sum = 0;
    for (std::size_t k = 0; k < pairs; ++k) {
        const int high = Nibble(text[2 * k]);
        const int low = Nibble(text[2 * k + 1]);
        if (high < 0 || low < 0) {
            return false;
        }
        bytes[k] = static_cast<std::uint8_t>(16 * high + low);
        sum += bytes[k];
    }
    return true;
}

#endif

}  // namespace HexPairs
