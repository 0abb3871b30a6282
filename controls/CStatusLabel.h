#pragma once

#include <QRect>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <string>

// The status line: one short phrase, left-aligned and vertically centred, over a plain or
// gradient background. Setters only store; the caller repaints (RepaintNow) when the new
// state must show at once. Colours are 0x00BBGGRR. The text is drawn in the widget's font,
// with '&' handled as in button captions ("&&" shows one ampersand).
class CStatusLabel : public QWidget {
    Q_OBJECT

public:
    explicit CStatusLabel(QWidget* parent = nullptr);

    void SetText(const char* text);
    const std::string& Text() const { return text_; }
    void SetTextColor(std::uint32_t colour, bool drawText);
    void SetBackColor(std::uint32_t colour, bool drawText);
    void SetGradient(bool on);
    // With true, fixes the painted rectangle to the current client rectangle, grown to hold
    // the current text at the width of "A" per character. Call it once the label has its
    // final size; the rectangle is not updated later.
    void FitToText(bool enable);
    // Shown while the text is empty; "Current Status" unless changed.
    void SetWindowText(const QString& text);
    const QString& WindowText() const { return windowText_; }
    void RepaintNow();

    std::uint32_t TextColor() const { return textColour_; }
    std::uint32_t BackColor() const { return backColour_; }
    bool DrawsText() const { return drawText_; }
    bool Gradient() const { return gradient_; }
    // The rectangle painted: the fixed one after FitToText(true), else the client rectangle.
    QRect PaintRect() const;
    // The text a paint shows now, before '&' processing.
    QString ShownText() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::uint32_t textColour_;
    std::uint32_t backColour_;
    bool drawText_ = true;
    bool gradient_ = false;
    bool fixedRect_ = false;
    std::string text_;
    QString windowText_;
    QRect fixed_;
};
