#include "StatusGradient.h"

#include <QWidget>
#include <algorithm>

namespace {

// One channel dimmed by (l / g)^2: c - l*l*c / (g*g).
std::uint32_t DimChannel(std::uint32_t colour, int shift, std::int64_t l, std::int64_t g) {
    const std::int64_t c = (colour >> shift) & 0xFF;
    const std::int64_t dimmed = c - (l * l * c) / (g * g);
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(dimmed, 0, 255)) << shift;
}

}  // namespace

std::vector<StatusGradient::Band> StatusGradient::Bands(int left, int width,
                                                        std::uint32_t backColour) {
    std::vector<Band> bands;
    const auto add = [&bands](std::int64_t x, std::int64_t w, std::uint32_t colour) {
        if (w > 0) {
            bands.push_back({static_cast<int>(x), static_cast<int>(w), colour});
        }
    };
    const std::int64_t w = std::min(width, QWIDGETSIZE_MAX);
    const std::int64_t g = (5 * w) / 6;                        // where the solid part starts
    const std::int64_t e = std::max<std::int64_t>(g / 64, 1);  // stripe width
    add(left + g, w - g, backColour & 0xFFFFFF);

    std::int64_t m = g;
    if (g > e) {
        std::int64_t l = 0;
        do {
            l += e;
            m -= e;
            const std::uint32_t colour = DimChannel(backColour, 0, l, g) |
                                         DimChannel(backColour, 8, l, g) |
                                         DimChannel(backColour, 16, l, g);
            add(left + m, e, colour);
        } while (m > e);
    }
    add(left, m, 0);
    return bands;
}
