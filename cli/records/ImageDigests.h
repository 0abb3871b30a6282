#pragma once

#include <cstdint>
#include <string>

#include "RegionRows.h"

class SFileImage;

// Digests that tell one image file from another: the station's file against the released one.

// SHA-256 of the file's bytes as 64 lower-case hex digits; false with the reason when the
// file cannot be read.
bool FileSha256(const std::string& path, std::string& hex, std::string& error);

// CRC-32 (the zlib / IEEE 802.3 polynomial) of a listed region's words from its first to its
// last address, each word low byte first as the pod receives it.
std::uint32_t RegionCrc32(const SFileImage& image, const RegionRow& row);

// "%08x" of a CRC-32.
std::string Crc32Text(std::uint32_t crc);
