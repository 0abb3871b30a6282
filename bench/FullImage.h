#pragma once

#include <cstdint>
#include <string>

class SFileImage;

// The largest image the programmer handles: a DSP56F807 with every flash region full
// (PFLASH from 0x0004, P2FLASH, BFLASH, DFLASH), 71,676 words, as S3 records of 16 words.
// bench/make-srecords.py writes the same words, pass after pass.
class FullImage {
public:
    static constexpr std::uint32_t kWords = 71676;

    static std::uint16_t WordAt(std::uint32_t fileAddress);
    static std::string SRecordText();
    // Reads the text into the image for the DSP56F807 and, as File Load does, turns each
    // region's count into its span.
    static void Load(SFileImage& image);
    // One loaded image for the whole program.
    static const SFileImage& Shared();
};
