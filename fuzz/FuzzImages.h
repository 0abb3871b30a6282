#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

class SFileImage;

// A few small images the host fuzzer programs: every CPU, regions that cross page and
// EEPROM-block boundaries, the vector words, single words, absent regions. Small, so a run
// costs little and the input decides the conversation rather than the image's length.
class FuzzImages {
public:
    static constexpr std::size_t kCount = 6;

    // Built once, listed as File Load lists them (wordCount is the span).
    static const SFileImage& At(std::size_t index);
    // The 28-byte O reply of a pod that stored this image.
    static std::array<std::uint8_t, 28> InfoReplyFor(const SFileImage& image);
};
