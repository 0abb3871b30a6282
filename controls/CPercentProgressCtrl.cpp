#include "CPercentProgressCtrl.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "ColorRef.h"
#include "ControlAccessibility.h"

namespace {

// Truncation toward zero that saturates instead of overflowing (positions are not clamped
// to the range, so the fraction can be far outside 0..1).
std::int64_t Truncate(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    return static_cast<std::int64_t>(std::clamp(std::trunc(value), -1e15, 1e15));
}

}  // namespace

CPercentProgressCtrl::CPercentProgressCtrl(QWidget* parent)
    : QWidget(parent),
      barColour_(palette().color(QPalette::Highlight)),
      backgroundColour_(palette().color(QPalette::Base)),
      textOnBackground_(palette().color(QPalette::Highlight)),
      textOnBar_(palette().color(QPalette::Base)) {
    // Every paint covers the whole bar, and an empty range keeps the last picture.
    setAttribute(Qt::WA_OpaquePaintEvent);
    ControlAccessibility::Install();
}

void CPercentProgressCtrl::SetRange(std::int32_t lower, std::int32_t upper) {
    lower_ = lower;
    upper_ = upper;
    AnnouncePercent();
}

std::int32_t CPercentProgressCtrl::SetPos(std::int32_t position) {
    // A widget gets its window when it (or its top-level window) is first shown.
    if (!testAttribute(Qt::WA_WState_Created)) {
        return -1;
    }
    const std::int32_t previous = position_;
    position_ = position;
    const int width = SplitWidth();
    if (width != filledWidth_) {
        filledWidth_ = width;
        repaint();
    }
    AnnouncePercent();
    return previous;
}

void CPercentProgressCtrl::AnnouncePercent() {
    const int percent = Percent();
    if (percent != announcedPercent_) {
        announcedPercent_ = percent;
        ControlAccessibility::ValueChanged(this, percent);
    }
}

void CPercentProgressCtrl::SetWindowText(const QString& text) {
    if (text != text_) {
        text_ = text;
        update();
    }
}

void CPercentProgressCtrl::RepaintNow() {
    repaint();
}

QString CPercentProgressCtrl::ShownText() const {
    if (!text_.isEmpty()) {
        return text_;
    }
    return QStringLiteral("%1%").arg(Percent());
}

int CPercentProgressCtrl::Percent() const {
    return static_cast<int>(
        std::clamp<std::int64_t>(Truncate(Fraction() * 100.0), INT32_MIN, INT32_MAX));
}

std::uint32_t CPercentProgressCtrl::BarColor() const {
    return ToColorRef(barColour_);
}

std::uint32_t CPercentProgressCtrl::BackgroundColor() const {
    return ToColorRef(backgroundColour_);
}

std::uint32_t CPercentProgressCtrl::TextColorOnBar() const {
    return ToColorRef(textOnBar_);
}

std::uint32_t CPercentProgressCtrl::TextColorOnBackground() const {
    return ToColorRef(textOnBackground_);
}

QSize CPercentProgressCtrl::sizeHint() const {
    return QSize(200, QFontMetrics(font()).height() + 6);
}

double CPercentProgressCtrl::Fraction() const {
    if (!HasRange()) {
        return 0.0;
    }
    return (double{1.0} * position_ - lower_) / (double{1.0} * upper_ - lower_);
}

// Filled pixels, truncated toward zero; -1 for an empty range, whose paints draw nothing.
int CPercentProgressCtrl::SplitWidth() const {
    if (!HasRange()) {
        return -1;
    }
    const std::int64_t width = Truncate(Fraction() * rect().width());
    return static_cast<int>(std::clamp<std::int64_t>(width, INT32_MIN + 1, INT32_MAX));
}

void CPercentProgressCtrl::paintEvent(QPaintEvent*) {
    if (!HasRange()) {
        return;
    }
    const QRect r = rect();
    // Outside the range the bar is cut at the window's edges.
    const int split = r.left() + std::clamp(SplitWidth(), 0, r.width());
    const QRect done(r.left(), r.top(), split - r.left(), r.height());
    const QRect rest(split, r.top(), r.right() + 1 - split, r.height());
    QPainter p(this);
    p.fillRect(done, barColour_);
    p.fillRect(rest, backgroundColour_);

    const QString text = ShownText();
    constexpr int flags = Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic;
    p.setClipRect(done);
    p.setPen(textOnBar_);
    p.drawText(r, flags, text);
    p.setClipRect(rest);
    p.setPen(textOnBackground_);
    p.drawText(r, flags, text);
}

void CPercentProgressCtrl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    filledWidth_ = -1;  // the next SetPos repaints whatever the position
}
