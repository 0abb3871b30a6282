#pragma once

#include <QRect>

class QPainter;
class QPalette;

// The keyboard focus of a control that draws its own content: a dotted line just inside
// the given rectangle, in the text colour, as dialogs mark the focused control.
void PaintFocusFrame(QPainter& painter, const QRect& rect, const QPalette& palette);
