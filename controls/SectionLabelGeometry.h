#pragma once

#include <QRect>
#include <QSize>

// Where a section caption and its etched line(s) go inside the label's client rectangle.
struct SectionLabelGeometry {
    enum class Alignment { Left, Centre, Right };  // along the line: Left = top when vertical

    QRect caption;     // empty without text
    QRect firstBand;   // two pixels thick; empty when there is no room
    QRect secondBand;  // only for a centred caption: the line on its other side

    // caption is the caption's size on the screen (already turned for a vertical caption).
    static SectionLabelGeometry Compute(const QRect& client, QSize caption, bool hasText,
                                        Alignment alignment, bool vertical);
};
