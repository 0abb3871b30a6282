#include "HexLayout.h"

#include <algorithm>

namespace {

// Auto fit: every word takes five cells (four digits and a separator), seven when the
// character column shows its two bytes as well.
std::uint32_t FittedBytesPerRow(const HexLayoutInput& in, int charWidth, int addrWidth) {
    std::int64_t avail = std::int64_t{in.clientWidth} - addrWidth;
    int cellsPerWord = 5;
    if (in.showAscii) {
        avail -= HexLayout::kColumnGap;
        cellsPerWord = 7;
    }
    if (avail < 0) {
        return 2;
    }
    const std::int64_t words = avail / (std::int64_t{cellsPerWord} * charWidth);
    return static_cast<std::uint32_t>(
        std::min<std::int64_t>(words * 2, HexLayout::kMaxBytesPerRow));
}

}  // namespace

HexLayout HexLayout::Compute(const HexLayoutInput& in) {
    HexLayout l;
    // A font always has a cell; guarding it keeps every division below defined.
    l.charWidth = std::max(in.charWidth, 1);
    l.lineHeight = std::max(in.lineHeight, 1);
    l.clientWidth = std::max(in.clientWidth, 0);
    l.clientHeight = std::max(in.clientHeight, 0);

    l.fullRows = static_cast<std::uint32_t>(l.clientHeight / l.lineHeight);
    l.rowsInView = l.fullRows + (l.clientHeight % l.lineHeight > 0 ? 1 : 0);

    const auto digits = static_cast<int>(std::min(in.addressDigits, kMaxAddressDigits));
    l.addrX = 0;
    l.addrWidth = in.showAddress ? digits * l.charWidth + kColumnGap : 0;

    std::uint32_t bytes = in.autoFit ? FittedBytesPerRow(in, l.charWidth, l.addrWidth)
                                     : std::min(in.bytesPerRowSetting, kMaxBytesPerRow);
    // Words never straddle two rows: an odd count is taken as the next even one.
    bytes += bytes % 2;
    l.bytesPerRow = bytes == 0 ? 2 : bytes;

    const auto bpr = static_cast<int>(l.bytesPerRow);
    l.hexX = l.addrX + l.addrWidth;
    l.wordTextWidth = l.charWidth * (bpr / 2 + 2 * bpr - 1);
    l.hexWidth = l.wordTextWidth + kColumnGap;
    if (in.showAscii) {
        l.asciiX = l.hexX + l.wordTextWidth + kColumnGap;
        l.asciiWidth = bpr * l.charWidth;
        l.contentWidth = l.asciiX + l.asciiWidth;
    } else {
        l.contentWidth = l.hexX + l.wordTextWidth;
    }

    l.totalRows =
        static_cast<std::uint32_t>((std::uint64_t{in.length} + l.bytesPerRow - 1) / l.bytesPerRow);
    l.maxTopRow = l.totalRows > l.fullRows ? l.totalRows - l.fullRows : 0;
    l.maxHorzOffset = l.contentWidth > l.clientWidth
                          ? static_cast<std::uint32_t>(l.contentWidth - l.clientWidth)
                          : 0;
    return l;
}
