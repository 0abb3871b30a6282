#include "CStatusLabel.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

#include "ColorRef.h"
#include "ControlAccessibility.h"
#include "NarrowText.h"
#include "StatusGradient.h"

CStatusLabel::CStatusLabel(QWidget* parent)
    : QWidget(parent),
      textColour_(ToColorRef(palette().color(QPalette::Text))),
      backColour_(ToColorRef(palette().color(QPalette::Base))),
      windowText_(QStringLiteral("Current Status")) {
    ControlAccessibility::Install();
}

void CStatusLabel::SetText(const char* text) {
    const QString before = ShownText();
    text_ = text != nullptr ? text : "";
    if (ShownText() != before) {
        ControlAccessibility::NameChanged(this);
    }
}

void CStatusLabel::SetTextColor(std::uint32_t colour, bool drawText) {
    textColour_ = colour;
    drawText_ = drawText;
}

void CStatusLabel::SetBackColor(std::uint32_t colour, bool drawText) {
    backColour_ = colour;
    drawText_ = drawText;
}

void CStatusLabel::SetGradient(bool on) {
    gradient_ = on;
}

void CStatusLabel::FitToText(bool enable) {
    if (!enable) {
        return;
    }
    fixedRect_ = true;
    const QFontMetrics metrics(font());
    const int cx = metrics.horizontalAdvance(QLatin1Char('A'));
    const int cy = metrics.height();
    fixed_ = rect();
    if (cy > fixed_.height()) {
        fixed_.setHeight(cy);
    }
    const qsizetype length =
        text_.empty() ? windowText_.toUtf8().size() : static_cast<qsizetype>(text_.size());
    const qint64 needed = qint64{cx} * length;
    if (needed > fixed_.width()) {
        fixed_.setWidth(static_cast<int>(std::min<qint64>(needed, QWIDGETSIZE_MAX)));
    }
}

void CStatusLabel::SetWindowText(const QString& text) {
    const QString before = ShownText();
    windowText_ = text;
    if (ShownText() != before) {
        ControlAccessibility::NameChanged(this);
    }
}

void CStatusLabel::RepaintNow() {
    repaint();
}

QRect CStatusLabel::PaintRect() const {
    return fixedRect_ ? fixed_ : rect();
}

QString CStatusLabel::ShownText() const {
    return text_.empty() ? windowText_ : FromNarrowText(text_.c_str());
}

QSize CStatusLabel::sizeHint() const {
    const QFontMetrics metrics(font());
    return QSize(metrics.horizontalAdvance(ShownText()) + 8, metrics.height() + 8);
}

void CStatusLabel::paintEvent(QPaintEvent*) {
    QRect r = PaintRect();
    QPainter p(this);
    if (gradient_) {
        for (const StatusGradient::Band& band :
             StatusGradient::Bands(r.left(), r.width(), backColour_)) {
            p.fillRect(QRect(band.x, r.top(), band.width, r.height()), FromColorRef(band.colour));
        }
    } else {
        p.fillRect(r, FromColorRef(backColour_));
    }
    if (drawText_) {
        p.setClipRect(r);
        p.setPen(FromColorRef(textColour_));
        r.adjust(2, 2, -2, -2);
        p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextShowMnemonic,
                   ShownText());
    }
}
