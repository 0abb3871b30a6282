#include "CMainFrame.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QVBoxLayout>
#include <climits>
#include <cstdlib>

#include "CVantixView.h"

namespace {

constexpr const char* kSection = "Main Configuration";
constexpr const char* kLeft = "Left Pos";
constexpr const char* kTop = "Top Pos";
constexpr const char* kRight = "Right Pos";
constexpr const char* kBottom = "Bottom Pos";

int ReadPosition(const QSettings& settings, const char* key) {
    bool ok = false;
    const long long value = settings.value(QString::fromLatin1(key)).toString().toLongLong(&ok);
    if (!ok || value < INT_MIN || value > INT_MAX) {
        return 0;
    }
    return static_cast<int>(value);
}

bool OnSomeScreen(QPoint point) {
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen->availableGeometry().contains(point)) {
            return true;
        }
    }
    return false;
}

}  // namespace

CMainFrame::CMainFrame(QSettings& settings, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      settings_(settings) {
    settings_.beginGroup(QString::fromLatin1(kSection));
    left_ = ReadPosition(settings_, kLeft);
    top_ = ReadPosition(settings_, kTop);
    right_ = ReadPosition(settings_, kRight);
    bottom_ = ReadPosition(settings_, kBottom);
    settings_.endGroup();
}

CMainFrame::~CMainFrame() {
    settings_.beginGroup(QString::fromLatin1(kSection));
    settings_.setValue(QString::fromLatin1(kLeft), left_);
    settings_.setValue(QString::fromLatin1(kTop), top_);
    settings_.setValue(QString::fromLatin1(kRight), right_);
    settings_.setValue(QString::fromLatin1(kBottom), bottom_);
    settings_.endGroup();
    settings_.sync();
}

void CMainFrame::SetForm(CVantixView* form) {
    form_ = form;
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(form);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setFixedSize(form->FormSize());
}

bool CMainFrame::PlaceAtSavedRectangle() {
    const long long width = static_cast<long long>(right_) - left_;
    const long long height = static_cast<long long>(bottom_) - top_;
    constexpr int kFarAway = 1000000;
    if (width <= 0 || height <= 0 || width > kFarAway || height > kFarAway ||
        std::abs(left_) > kFarAway || std::abs(top_) > kFarAway) {
        return false;
    }
    // The caption must be reachable: its left end and its middle lie on a screen.
    const QPoint corner(left_ + 8, top_ + 8);
    const QPoint caption(static_cast<int>(left_ + width / 2), top_ + 8);
    if (!OnSomeScreen(corner) || !OnSomeScreen(caption)) {
        return false;
    }
    move(left_, top_);
    return true;
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (form_ != nullptr && form_->IsBusy()) {
        event->ignore();
        return;
    }
    CaptureRectangle();
    event->accept();
}

void CMainFrame::CaptureRectangle() {
    if (!isVisible()) {
        return;
    }
    const QRect outer = frameGeometry();
    left_ = outer.x();
    top_ = outer.y();
    right_ = outer.x() + outer.width();
    bottom_ = outer.y() + outer.height();
}
