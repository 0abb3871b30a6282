#include "CSectionLabel.h"

#include <QFontMetrics>
#include <QPainter>

#include "ControlAccessibility.h"
#include "MnemonicText.h"

namespace {

constexpr int kTextFlags = Qt::TextSingleLine | Qt::TextShowMnemonic;

// Width by the advance of the shown text, height by the font's line.
QSize CaptionSize(const QFontMetrics& metrics, const QString& text) {
    return QSize(metrics.horizontalAdvance(WithoutMnemonics(text)), metrics.height());
}

// A raised 3-D frame: the top and left edges in the shadow colour, the bottom and right edges
// in the highlight colour. On a two-pixel band this is a shadow line beside a highlight line.
void DrawEtchedBand(QPainter& p, const QRect& r, const QColor& shadow, const QColor& highlight) {
    p.fillRect(QRect(r.left(), r.top(), r.width() - 1, 1), shadow);
    p.fillRect(QRect(r.left(), r.top(), 1, r.height() - 1), shadow);
    p.fillRect(QRect(r.right(), r.top(), 1, r.height()), highlight);
    p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), highlight);
}

}  // namespace

CSectionLabel::CSectionLabel(QWidget* parent) : CSectionLabel(QString(), parent) {}

CSectionLabel::CSectionLabel(const QString& text, QWidget* parent)
    : QWidget(parent),
      textColour_(palette().color(QPalette::WindowText)),
      shadowColour_(palette().color(QPalette::Dark)),
      highlightColour_(palette().color(QPalette::Light)),
      text_(text) {
    ControlAccessibility::Install();
}

void CSectionLabel::SetText(const QString& text) {
    const bool changed = text != text_;
    text_ = text;
    repaint();
    if (changed) {
        ControlAccessibility::NameChanged(this);
    }
}

void CSectionLabel::SetAlignment(Alignment alignment) {
    alignment_ = alignment;
    repaint();
}

void CSectionLabel::SetVertical(bool vertical) {
    vertical_ = vertical;
    repaint();
}

SectionLabelGeometry CSectionLabel::Geometry() const {
    const QFontMetrics metrics(font());
    QSize caption = CaptionSize(metrics, text_);
    if (vertical_) {
        caption.transpose();
    }
    return SectionLabelGeometry::Compute(rect(), caption, !text_.isEmpty(), alignment_, vertical_);
}

QSize CSectionLabel::sizeHint() const {
    const QFontMetrics metrics(font());
    const QSize text = CaptionSize(metrics, text_) + QSize(40, 0);
    return vertical_ ? text.transposed() : text;
}

void CSectionLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Button));
    const SectionLabelGeometry g = Geometry();
    if (!text_.isEmpty()) {
        p.setPen(textColour_);
        if (vertical_) {
            // Reading upward: the text's baseline runs up the caption's right side.
            p.save();
            p.translate(g.caption.left(), g.caption.top() + g.caption.height());
            p.rotate(-90);
            p.drawText(QRect(0, 0, g.caption.height(), g.caption.width()),
                       Qt::AlignLeft | Qt::AlignBottom | kTextFlags, text_);
            p.restore();
        } else {
            p.drawText(g.caption, Qt::AlignLeft | Qt::AlignBottom | kTextFlags, text_);
        }
    }
    if (!g.firstBand.isEmpty()) {
        DrawEtchedBand(p, g.firstBand, shadowColour_, highlightColour_);
    }
    if (!g.secondBand.isEmpty()) {
        DrawEtchedBand(p, g.secondBand, shadowColour_, highlightColour_);
    }
}
