#pragma once

#include <QColor>
#include <QString>
#include <QWidget>
#include <cstdint>

// A progress bar with its own range and position that shows the percentage ("42%") centred
// over it, the text in the window colour over the filled part and in the highlight colour
// over the rest. SetPos repaints synchronously, and only when the filled part changes by a
// whole pixel, so a driver may report every block without cost.
class CPercentProgressCtrl : public QWidget {
    Q_OBJECT

public:
    explicit CPercentProgressCtrl(QWidget* parent = nullptr);

    // Stores the range; no repaint. lower >= upper makes paints draw nothing.
    void SetRange(std::int32_t lower, std::int32_t upper);
    // Stores the position and returns the previous one; repaints at once when the filled
    // width changed. Returns -1 and stores nothing while the widget has no window yet
    // (before it or its window is first shown).
    std::int32_t SetPos(std::int32_t position);
    // A non-empty text is shown instead of the percentage.
    void SetWindowText(const QString& text);
    const QString& WindowText() const { return text_; }
    void RepaintNow();

    std::int32_t Pos() const { return position_; }
    std::int32_t Lower() const { return lower_; }
    std::int32_t Upper() const { return upper_; }
    // The text a paint shows now.
    QString ShownText() const;
    // The percentage of the range that the position stands at, truncated toward zero (0 for
    // an empty range); what the bar shows unless it has a text.
    int Percent() const;
    // Filled width at the last repaint request; -1 when not drawn at the current size.
    int FilledWidth() const { return filledWidth_; }
    // The four colours, 0x00BBGGRR, read from the palette at construction.
    std::uint32_t BarColor() const;
    std::uint32_t BackgroundColor() const;
    std::uint32_t TextColorOnBar() const;
    std::uint32_t TextColorOnBackground() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool HasRange() const { return lower_ < upper_; }
    double Fraction() const;
    int SplitWidth() const;
    // Tells a screen reader of a new percentage.
    void AnnouncePercent();

    std::int32_t position_ = 0;
    std::int32_t upper_ = 100;
    std::int32_t lower_ = 0;
    QString text_;
    int filledWidth_ = -1;
    int announcedPercent_ = 0;
    QColor barColour_;
    QColor backgroundColour_;
    QColor textOnBackground_;
    QColor textOnBar_;
};
