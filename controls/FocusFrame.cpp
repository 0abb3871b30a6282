#include "FocusFrame.h"

#include <QPainter>
#include <QPalette>
#include <QPen>

void PaintFocusFrame(QPainter& painter, const QRect& rect, const QPalette& palette) {
    if (rect.width() < 2 || rect.height() < 2) {
        return;
    }
    painter.save();
    painter.setClipping(false);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(palette.color(QPalette::Text), 1, Qt::DotLine));
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
    painter.restore();
}
