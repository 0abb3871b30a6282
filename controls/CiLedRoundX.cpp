#include "CiLedRoundX.h"

#include <QPainter>
#include <QRadialGradient>
#include <algorithm>

#include "ColorRef.h"
#include "ControlAccessibility.h"

CiLedRoundX::CiLedRoundX(QWidget* parent) : QWidget(parent) {
    ControlAccessibility::Install();
}

void CiLedRoundX::SetActive(bool lit) {
    const QString before = StateText();
    active_ = lit;
    update();
    AnnounceState(before);
}

void CiLedRoundX::SetActiveColor(std::uint32_t colour) {
    const QString before = StateText();
    activeColour_ = colour & 0xFFFFFF;
    update();
    AnnounceState(before);
}

QString CiLedRoundX::StateText() const {
    if (!active_) {
        return QStringLiteral("off");
    }
    const QColor lit = FromColorRef(activeColour_);
    const int red = lit.red();
    const int green = lit.green();
    const int blue = lit.blue();
    if (red > green && red > blue) {
        return QStringLiteral("red");
    }
    if (green > red && green > blue) {
        return QStringLiteral("green");
    }
    if (blue > red && blue > green) {
        return QStringLiteral("blue");
    }
    return QStringLiteral("on");
}

void CiLedRoundX::AnnounceState(const QString& before) {
    if (StateText() != before) {
        ControlAccessibility::DescriptionChanged(this);
    }
}

void CiLedRoundX::SetInactiveColor(std::uint32_t colour) {
    inactiveColour_ = colour & 0xFFFFFF;
    update();
}

void CiLedRoundX::RepaintNow() {
    repaint();
}

QSize CiLedRoundX::sizeHint() const {
    return QSize(30, 30);
}

void CiLedRoundX::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Button));
    const qreal size = std::min(width(), height()) - 2;
    if (size < 4) {
        return;
    }
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF outer(QPointF((width() - size) / 2, (height() - size) / 2), QSizeF(size, size));

    // Raised bevel: lit from the upper left.
    QLinearGradient bevel(outer.topLeft(), outer.bottomRight());
    bevel.setColorAt(0, palette().color(QPalette::Light));
    bevel.setColorAt(1, palette().color(QPalette::Dark));
    p.setPen(Qt::NoPen);
    p.setBrush(bevel);
    p.drawEllipse(outer);

    const qreal bevelWidth = std::max<qreal>(2, size / 10);
    const QRectF lamp = outer.adjusted(bevelWidth, bevelWidth, -bevelWidth, -bevelWidth);
    const QColor colour = FromColorRef(active_ ? activeColour_ : inactiveColour_);
    p.setBrush(colour);
    p.setPen(QPen(colour.darker(160), 1));
    p.drawEllipse(lamp);

    // Reflection: a soft white spot in the upper left quarter, clear of the centre.
    const QRectF spot(lamp.left() + lamp.width() * 0.18, lamp.top() + lamp.height() * 0.14,
                      lamp.width() * 0.36, lamp.height() * 0.28);
    QRadialGradient shine(spot.center(), spot.width() / 2);
    shine.setColorAt(0, QColor(255, 255, 255, 200));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shine);
    p.drawEllipse(spot);
}
