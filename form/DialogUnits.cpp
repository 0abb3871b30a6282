#include "DialogUnits.h"

#include <QFontMetrics>

namespace {

// Rounded a × b / c, as dialog templates are scaled.
int MulDiv(int a, int b, int c) {
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    // The mean over 52 letters, rounded half up.
    averageCharWidth_ = (letters / 26 + 1) / 2;
    charHeight_ = metrics.height();
    if (averageCharWidth_ < 1) {
        averageCharWidth_ = 1;
    }
    if (charHeight_ < 1) {
        charHeight_ = 1;
    }
}

DialogUnits::DialogUnits(int averageCharWidth, int charHeight)
    : averageCharWidth_(averageCharWidth > 0 ? averageCharWidth : 1),
      charHeight_(charHeight > 0 ? charHeight : 1) {}

QFont DialogUnits::FormFont() {
    QFont font(QStringLiteral("Arial"), 9);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

int DialogUnits::X(int du) const {
    return MulDiv(du, averageCharWidth_, 4);
}

int DialogUnits::Y(int du) const {
    return MulDiv(du, charHeight_, 8);
}

QRect DialogUnits::ToPixels(int x, int y, int w, int h) const {
    return QRect(X(x), Y(y), X(w), Y(h));
}
