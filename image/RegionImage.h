#pragma once

#include <cstdint>

// The loaded words of one flash region. `words` points into storage owned by SFileImage;
// element i holds the word for address (region start + i).
struct RegionImage {
    std::uint16_t* words = nullptr;
    std::uint32_t capacity = 0;    // fixed: the largest size of the region over all CPUs
    std::uint16_t minAddress = 0;  // lowest address loaded (data-space address for DFLASH)
    std::uint16_t maxAddress = 0;
    // Words stored while reading (a word stored twice counts twice); File Load replaces it
    // by the span maxAddress - minAddress + 1.
    std::uint16_t wordCount = 0;
    // Set by the first stored word, so a wordCount that wraps to 0 cannot hide loaded data.
    bool loaded = false;
};
