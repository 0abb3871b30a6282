#include "CAboutDialog.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "DialogUnits.h"

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromLatin1(kCaption));
    setModal(true);
    setFont(DialogUnits::FormFont());
    const DialogUnits units(font());
    setFixedSize(units.ToPixels(QSize(235, 55)));

    QIcon icon = QApplication::windowIcon();
    if (icon.isNull()) {
        icon = style()->standardIcon(QStyle::SP_ComputerIcon);
    }
    auto* picture = new QLabel(this);
    const int side = style()->pixelMetric(QStyle::PM_LargeIconSize);
    picture->setPixmap(icon.pixmap(side, side));
    picture->setScaledContents(true);
    picture->move(units.X(11), units.Y(17));
    picture->resize(side, side);

    auto* text = new QLabel(QString::fromLatin1(kText), this);
    text->setGeometry(units.ToPixels(40, 10, 119, 8));
    text->adjustSize();

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setGeometry(units.ToPixels(178, 7, 50, 14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
