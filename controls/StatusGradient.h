#pragma once

#include <cstdint>
#include <vector>

// The status label's background: black at the left edge, darkening stripes, and the back
// colour over the right sixth.
class StatusGradient {
public:
    struct Band {
        int x;
        int width;
        std::uint32_t colour;  // 0x00BBGGRR
    };

    // The fills in painting order: the solid part, the stripes from right to left, then the
    // black strip at the left edge. Bands of no width are left out. The products are 64-bit,
    // safe up to the widest widget; a larger width is taken as that.
    static std::vector<Band> Bands(int left, int width, std::uint32_t backColour);
};
