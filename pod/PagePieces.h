#pragma once

#include <cstdint>
#include <vector>

// One address range written or compared with a single W, P or V frame.
struct PagePiece {
    std::uint32_t first;
    std::uint32_t last;

    std::uint32_t WordCount() const { return last - first + 1; }
    bool operator==(const PagePiece&) const = default;
};

// Splits start..end (inclusive, start <= end) into pieces that never cross a 256-word page
// boundary, because the pod programs at most one flash page per W frame.
std::vector<PagePiece> PagePieces(std::uint32_t start, std::uint32_t end);
