#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

// Converts dialog units to pixels for one font, as dialog templates are laid out: a horizontal
// unit is a quarter of the font's average character width, measured over the 52 Latin
// letters, and a vertical unit an eighth of its character height.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);
    DialogUnits(int averageCharWidth, int charHeight);

    // Arial 9 pt; where Arial is missing, fontconfig's metric-compatible Liberation Sans or
    // else the default sans-serif font.
    static QFont FormFont();

    int X(int du) const;
    int Y(int du) const;
    QRect ToPixels(int x, int y, int w, int h) const;
    QSize ToPixels(QSize du) const { return {X(du.width()), Y(du.height())}; }

    int AverageCharWidth() const { return averageCharWidth_; }
    int CharHeight() const { return charHeight_; }

private:
    int averageCharWidth_;
    int charHeight_;
};
