#include "HexSelection.h"

#include <algorithm>
#include <array>

#include "HexRowText.h"

void HexSelection::Start(std::uint32_t word) {
    anchor_ = end_ = word;
    active_ = false;
}

bool HexSelection::Extend(std::uint32_t word) {
    if (active_ && word == end_) {
        return false;
    }
    end_ = word;
    active_ = true;
    return true;
}

bool HexSelection::OnRow(const HexLayout& layout, std::uint32_t length, std::uint32_t row,
                         std::uint32_t& first, std::uint32_t& last) const {
    if (!active_ || length == 0) {
        return false;
    }
    const std::uint32_t end = length - 1;
    const std::uint32_t lo = std::min(anchor_, end_);
    const std::uint32_t hi = std::min(std::max(anchor_, end_) + 1, end);  // the whole word
    const std::uint64_t rowStart = std::uint64_t{row} * layout.bytesPerRow;
    if (rowStart > end) {
        return false;
    }
    const std::uint64_t rowLast = std::min<std::uint64_t>(rowStart + layout.bytesPerRow - 1, end);
    first = static_cast<std::uint32_t>(std::max<std::uint64_t>(lo, rowStart));
    last = static_cast<std::uint32_t>(std::min<std::uint64_t>(hi, rowLast));
    return first <= last;
}

QString HexSelection::Text(const HexLayout& layout, const std::vector<std::uint8_t>& data,
                           std::uint32_t baseAddress, std::uint32_t addressDigits) const {
    if (!active_ || data.empty()) {
        return {};
    }
    std::array<char, HexRowText::kAddressBufferSize> address{};
    std::array<char, HexRowText::kWordBufferSize> words{};
    std::array<char, HexRowText::kCharBufferSize> chars{};
    const auto length = static_cast<std::uint32_t>(data.size());
    const std::uint32_t lastRow = std::max(anchor_, end_) / layout.bytesPerRow;
    QString text;
    for (std::uint32_t row = std::min(anchor_, end_) / layout.bytesPerRow; row <= lastRow; ++row) {
        std::uint32_t first = 0;
        std::uint32_t last = 0;
        if (!OnRow(layout, length, row, first, last)) {
            continue;
        }
        if (!text.isEmpty()) {
            text += QLatin1Char('\n');
        }
        if (layout.addrWidth > 0) {
            const std::size_t n =
                HexRowText::Address(address, baseAddress + first / 2, addressDigits);
            text += QLatin1StringView(address.data(), static_cast<qsizetype>(n));
            text += QLatin1Char(' ');
        }
        const std::uint32_t count = last - first + 1;
        const std::size_t n = HexRowText::Words(words, &data[first], count);
        text += QLatin1StringView(words.data(), static_cast<qsizetype>(n));
        if (layout.asciiWidth > 0) {
            const std::size_t c = HexRowText::Chars(chars, &data[first], count);
            text += QLatin1StringView("  ");
            text += QLatin1StringView(chars.data(), static_cast<qsizetype>(c));
        }
    }
    return text;
}

std::uint32_t HexSelection::WordAt(const HexLayout& layout, QPoint pos, std::uint32_t topRow,
                                   std::uint32_t horzOffset, std::uint32_t length) {
    if (length == 0) {
        return 0;
    }
    const std::uint32_t bpr = layout.bytesPerRow;
    const int cw = layout.charWidth;
    const int y = std::clamp(pos.y(), 0, std::max(layout.clientHeight - 1, 0));
    const std::uint64_t row = std::min<std::uint64_t>(
        std::uint64_t{topRow} + static_cast<std::uint32_t>(y / layout.lineHeight),
        layout.totalRows > 0 ? layout.totalRows - 1 : 0);
    const std::int64_t x = std::int64_t{pos.x()} + horzOffset;
    std::int64_t word = 0;
    if (layout.asciiWidth > 0 && x >= layout.asciiX) {
        word = std::min<std::int64_t>((x - layout.asciiX) / cw, bpr - 1) / 2;
    } else if (x >= layout.hexX) {
        word = std::min<std::int64_t>((x - layout.hexX) / cw / 5, bpr / 2 - 1);
    }
    const std::uint64_t byte = row * bpr + static_cast<std::uint64_t>(word) * 2;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(byte, (length - 1) & ~1u));
}
