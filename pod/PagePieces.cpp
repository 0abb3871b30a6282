#include "PagePieces.h"

std::vector<PagePiece> PagePieces(std::uint32_t start, std::uint32_t end) {
    std::vector<PagePiece> pieces;
    if (start > end) {
        return pieces;
    }
    std::uint32_t first = start;
    for (std::uint32_t page = start >> 8; page <= (end >> 8); ++page) {
        const std::uint32_t pageLast = (page << 8) + 0xFF;
        const std::uint32_t last = pageLast < end ? pageLast : end;
        pieces.push_back({first, last});
        first = last + 1;
    }
    return pieces;
}
