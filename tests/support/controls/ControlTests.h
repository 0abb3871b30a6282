#pragma once

#include <QColor>
#include <QCoreApplication>
#include <QImage>
#include <QObject>
#include <QWidget>
#include <memory>

// The suites of the controls' test executable; main() runs one by name or all of them.
std::unique_ptr<QObject> MakeHexLayoutTest();
std::unique_ptr<QObject> MakeHexViewTest();
std::unique_ptr<QObject> MakeSectionLabelTest();
std::unique_ptr<QObject> MakeStatusLabelTest();
std::unique_ptr<QObject> MakeProgressTest();
std::unique_ptr<QObject> MakeLedTest();
std::unique_ptr<QObject> MakeMessageWindowTest();
std::unique_ptr<QObject> MakeAccessibilityTest();

// Lets queued work (scroll bar updates, show and hide, activation) run; never sleeps.
inline void Settle() {
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
    }
}

inline QImage Grab(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

inline QColor Rgb(int r, int g, int b) {
    return QColor(r, g, b);
}

// Anti-aliased strokes rarely cover a whole pixel: text counts as present when a pixel of
// the area comes within a few steps of its colour on every channel.
inline bool HasNearColour(const QImage& image, const QRect& area, const QColor& colour,
                          int tolerance = 40) {
    const QRect clipped = area & image.rect();
    for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
        for (int x = clipped.left(); x <= clipped.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (qAbs(c.red() - colour.red()) <= tolerance &&
                qAbs(c.green() - colour.green()) <= tolerance &&
                qAbs(c.blue() - colour.blue()) <= tolerance) {
                return true;
            }
        }
    }
    return false;
}
