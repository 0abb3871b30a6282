#pragma once

#include <QColor>
#include <cstdint>

// Colours cross the controls' interfaces as 0x00BBGGRR values (red in the low byte), the form
// and the pod driver's convention; these two are the only places that know the byte order.

inline QColor FromColorRef(std::uint32_t colour) {
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

inline std::uint32_t ToColorRef(const QColor& colour) {
    return static_cast<std::uint32_t>(colour.red()) |
           (static_cast<std::uint32_t>(colour.green()) << 8) |
           (static_cast<std::uint32_t>(colour.blue()) << 16);
}
