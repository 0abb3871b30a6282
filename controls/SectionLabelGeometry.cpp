#include "SectionLabelGeometry.h"

namespace {

// The larger half of x for x >= 0 (remainder with the sign of x, as C++ divides).
int Half(int x) {
    return x / 2 + x % 2;
}

// Edges as left, top, right, bottom with right and bottom exclusive.
struct Edges {
    int left;
    int top;
    int right;
    int bottom;
};

QRect ToRect(const Edges& e) {
    return QRect(e.left, e.top, e.right - e.left, e.bottom - e.top);
}

// Where the caption goes along the line, and how the line gives way to it; twoLines when
// the line continues on the caption's far side.
Edges PlaceCaption(const Edges& r, QSize caption, SectionLabelGeometry::Alignment alignment,
                   bool vertical, Edges& line, bool& twoLines) {
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    const int w = caption.width();
    const int h = caption.height();
    Edges a{r.left, r.top, r.left + w, r.top + h};
    if (vertical) {
        a.left = r.left + Half(width - w);
    } else {
        a.top = r.top + Half(height - h);
    }
    switch (alignment) {
        case SectionLabelGeometry::Alignment::Right:
            if (vertical) {
                a.top = r.bottom - h;
                line.bottom = r.bottom - h - 6;
            } else {
                a.left = r.right - w;
                line.right = r.right - w - 6;
            }
            break;
        case SectionLabelGeometry::Alignment::Centre:
            twoLines = true;
            if (vertical) {
                line.bottom = height / 2 - h / 2 - 6;
                a.top = r.top + Half(height - h);
            } else {
                line.right = width / 2 - w / 2 - 6;
                // The odd pixel goes where the line's remainder puts it.
                a.left = r.left + (width - w) / 2 + (line.right - line.left - w) % 2;
            }
            break;
        case SectionLabelGeometry::Alignment::Left:
            if (vertical) {
                a.top = r.top;
                line.top = r.top + h + 6;
            } else {
                a.left = r.left;
                line.left = r.left + w + 6;
            }
            break;
    }
    a.right = a.left + w;
    a.bottom = a.top + h;
    return a;
}

}  // namespace

SectionLabelGeometry SectionLabelGeometry::Compute(const QRect& client, QSize caption, bool hasText,
                                                   Alignment alignment, bool vertical) {
    const Edges r{client.left(), client.top(), client.left() + client.width(),
                  client.top() + client.height()};
    Edges line = r;
    bool twoLines = false;
    SectionLabelGeometry g;
    if (hasText) {
        g.caption = ToRect(PlaceCaption(r, caption, alignment, vertical, line, twoLines));
    }
    const int w = caption.width();
    const int h = caption.height();
    // A two-pixel band in the middle of the line rectangle.
    if (vertical) {
        const int mid = line.left + Half(line.right - line.left) - 1;
        if (line.top < line.bottom) {
            g.firstBand = ToRect({mid, line.top, mid + 2, line.bottom});
            if (twoLines && line.bottom + h + 12 < r.bottom) {
                g.secondBand = ToRect({mid, line.bottom + h + 12, mid + 2, r.bottom});
            }
        }
    } else {
        const int mid = line.top + Half(line.bottom - line.top) - 1;
        if (line.left < line.right) {
            g.firstBand = ToRect({line.left, mid, line.right, mid + 2});
            if (twoLines && line.right + w + 12 < r.right) {
                g.secondBand = ToRect({line.right + w + 12, mid, r.right, mid + 2});
            }
        }
    }
    return g;
}
