#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "RegionRows.h"

class SFileImage;

// Digests that tell one image file from another: the station's file against the released one.

// SHA-256 of bytes handed over piece by piece (as a file is read), as 64 lower-case hex
// digits.
class Sha256Stream {
public:
    Sha256Stream();
    ~Sha256Stream();
    Sha256Stream(const Sha256Stream&) = delete;
    Sha256Stream& operator=(const Sha256Stream&) = delete;

    void Add(const char* data, std::size_t size);
    // The digest of everything added; empty when the system could not compute it.
    std::string Hex();

private:
    class Engine;
    std::unique_ptr<Engine> engine_;
    bool failed_ = false;
};

// CRC-32 (the zlib / IEEE 802.3 polynomial) of a listed region's words from its first to its
// last address, each word low byte first as the pod receives it.
std::uint32_t RegionCrc32(const SFileImage& image, const RegionRow& row);

// "%08x" of a CRC-32.
std::string Crc32Text(std::uint32_t crc);

// A SHA-256 as messages name it: its first four hex digits and "…", or as many more as it
// takes to tell it from `other`.
std::string ShortSha256(const std::string& sha256, const std::string& other = {});
