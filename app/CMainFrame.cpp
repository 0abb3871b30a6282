#include "CMainFrame.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
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

// The window system's frame around the client area, as far as it is known yet: none before
// the window is shown, nor before a window manager has framed it.
QMargins KnownFrame(const QWidget& window) {
    const QWindow* handle = window.windowHandle();
    return handle != nullptr && window.isVisible() ? handle->frameMargins() : QMargins();
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
    // The form keeps its fixed size; the area shows all of it when the screen has room and
    // scrolls it when not. The area itself takes no focus: Tab goes from control to control
    // and brings the focused one into view.
    area_ = new QScrollArea(this);
    area_->setFrameShape(QFrame::NoFrame);
    area_->setFocusPolicy(Qt::NoFocus);
    area_->setWidgetResizable(false);
    area_->setWidget(form);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(area_);
    FitToScreen();
}

bool CMainFrame::FitToScreen() {
    const QSize formSize = form_->FormSize();
    const QScreen* screen = this->screen();
    if (screen == nullptr) {
        setFixedSize(formSize);
        return false;
    }
    const QRect available = screen->availableGeometry();
    fittedFrame_ = KnownFrame(*this);
    const QSize room = available.size().shrunkBy(fittedFrame_);
    scrolls_ = formSize.width() > room.width() || formSize.height() > room.height();
    if (!scrolls_) {
        setFixedSize(formSize);
        KeepInside(available);
        return false;
    }
    // A scroll bar takes room from the other direction; the window widens or heightens by
    // it where the screen allows, so that one bar does not call for the other.
    QSize client = formSize.boundedTo(room);
    if (client.height() < formSize.height()) {
        const int bar = area_->verticalScrollBar()->sizeHint().width();
        client.setWidth(std::min(formSize.width() + bar, room.width()));
    }
    if (client.width() < formSize.width()) {
        const int bar = area_->horizontalScrollBar()->sizeHint().height();
        client.setHeight(std::min(formSize.height() + bar, room.height()));
    }
    setFixedSize(client);
    // The frame's corner; once the window is shown the toolkit knows the frame best.
    if (QWindow* handle = windowHandle(); handle != nullptr && isVisible()) {
        handle->setFramePosition(available.topLeft());
    } else {
        move(available.topLeft());
    }
    return true;
}

bool CMainFrame::PlaceAtSavedRectangle() {
    if (scrolls_) {
        return false;  // a window too large for the screen fills it from its top left
    }
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
    if (const QScreen* screen = this->screen(); screen != nullptr) {
        KeepInside(screen->availableGeometry());
    }
    return true;
}

void CMainFrame::KeepInside(const QRect& available) {
    // Where the window fits, all of it is shown: a rectangle saved at another scale, or on a
    // larger screen, may reach past the edge. The least move brings it in.
    const QRect outer = frameGeometry();
    if (outer.width() > available.width() || outer.height() > available.height()) {
        return;
    }
    const int x = std::clamp(outer.left(), available.left(), available.right() - outer.width() + 1);
    const int y = std::clamp(outer.top(), available.top(), available.bottom() - outer.height() + 1);
    if (x != outer.left() || y != outer.top()) {
        move(pos() + QPoint(x - outer.left(), y - outer.top()));
    }
}

void CMainFrame::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (area_ == nullptr) {
        return;
    }
    if (QWindow* handle = windowHandle(); handle != nullptr && !watchingFrame_) {
        handle->installEventFilter(this);
        watchingFrame_ = true;
    }
    QTimer::singleShot(0, this, &CMainFrame::FitToScreen);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    // A window manager frames the window after it is shown; the window is exposed or moved
    // once it has, and it fits again with the frame counted.
    const bool framed = event->type() == QEvent::Expose || event->type() == QEvent::Move;
    if (framed && watched == windowHandle() && KnownFrame(*this) != fittedFrame_) {
        FitToScreen();
    }
    return QWidget::eventFilter(watched, event);
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
