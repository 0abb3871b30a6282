#pragma once

#include <cstdint>

// What the hex view's geometry depends on: the font cell, the client size, the data length
// and the column settings.
struct HexLayoutInput {
    int charWidth = 0;   // advance of the digit 0
    int lineHeight = 0;  // height of one text line
    int clientWidth = 0;
    int clientHeight = 0;
    std::uint32_t length = 0;
    std::uint32_t bytesPerRowSetting = 16;
    std::uint32_t addressDigits = 8;
    bool autoFit = false;
    bool showAddress = false;
    bool showAscii = false;
};

// Column positions (content pixels, before the horizontal scroll) and scroll limits of the
// hex view. Kept apart from the widget so that the arithmetic can be checked without a font.
struct HexLayout {
    // The row buffers hold 3 characters per byte in 1024 and one address in 32 characters.
    static constexpr std::uint32_t kMaxBytesPerRow = 340;
    static constexpr std::uint32_t kMaxAddressDigits = 31;
    // Blank pixels after the address column and after the word column.
    static constexpr int kColumnGap = 5;

    int charWidth = 1;
    int lineHeight = 1;
    int clientWidth = 0;
    int clientHeight = 0;
    std::uint32_t fullRows = 0;    // rows that fit entirely
    std::uint32_t rowsInView = 0;  // rows that intersect the client area
    std::uint32_t bytesPerRow = 2;
    int addrX = 0;
    int addrWidth = 0;  // including the gap; 0 while hidden
    int hexX = 0;
    int wordTextWidth = 0;  // the words of one row without the last separator
    int hexWidth = 0;       // wordTextWidth plus the gap
    int asciiX = 0;         // 0 while hidden
    int asciiWidth = 0;     // 0 while hidden
    int contentWidth = 0;
    std::uint32_t totalRows = 0;
    std::uint32_t maxTopRow = 0;
    std::uint32_t maxHorzOffset = 0;

    static HexLayout Compute(const HexLayoutInput& in);
};
