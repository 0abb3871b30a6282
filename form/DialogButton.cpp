#include "DialogButton.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace {

bool IsEnter(const QKeyEvent& event) {
    const Qt::KeyboardModifiers others = event.modifiers() & ~Qt::KeypadModifier;
    return (event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter) &&
           others == Qt::NoModifier;
}

bool IsSpace(const QKeyEvent& event) {
    return event.key() == Qt::Key_Space || event.key() == Qt::Key_Select;
}

}  // namespace

DialogButton::DialogButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    // Flat: a plain outline instead of a raised bevel (the toolkit's own flat button has no
    // outline at all).
    setStyleSheet(QStringLiteral(
        "QPushButton { border: 1px solid palette(shadow); background: palette(button); }"
        "QPushButton:hover { background: palette(light); }"
        "QPushButton:pressed { background: palette(mid); }"
        "QPushButton:disabled { color: palette(mid); border-color: palette(mid); }"));
    setAutoDefault(false);
}

void DialogButton::keyPressEvent(QKeyEvent* event) {
    const bool enter = IsEnter(*event);
    if (!enter && !IsSpace(*event)) {
        QPushButton::keyPressEvent(event);
        return;
    }
    // A held key repeats: marked as a repeat, or, from some window systems, as further
    // presses without a release between them.
    if (event->isAutoRepeat() || event->key() == heldKey_) {
        event->accept();
        return;
    }
    Hold(event->key());
    if (enter) {
        event->accept();
        click();
        return;
    }
    QPushButton::keyPressEvent(event);  // Space: down now, clicked when let go
}

void DialogButton::keyReleaseEvent(QKeyEvent* event) {
    if (event->isAutoRepeat() && (IsEnter(*event) || IsSpace(*event))) {
        event->accept();
        return;
    }
    if (event->key() == heldKey_) {
        LetGo();
    }
    QPushButton::keyReleaseEvent(event);
}

bool DialogButton::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyRelease) {
        const auto* key = static_cast<const QKeyEvent*>(event);
        if (!key->isAutoRepeat() && key->key() == heldKey_) {
            LetGo();
        }
    }
    return QPushButton::eventFilter(watched, event);
}

void DialogButton::changeEvent(QEvent* event) {
    // A key let go in another window is never seen here.
    if (event->type() == QEvent::ActivationChange && !isActiveWindow()) {
        LetGo();
    }
    QPushButton::changeEvent(event);
}

void DialogButton::Hold(int key) {
    if (heldKey_ == 0 && QCoreApplication::instance() != nullptr) {
        // Installed now, it sees events before the filters installed before it, which may
        // drop input made during an operation.
        QCoreApplication::instance()->installEventFilter(this);
    }
    heldKey_ = key;
}

void DialogButton::LetGo() {
    if (heldKey_ != 0 && QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeEventFilter(this);
    }
    heldKey_ = 0;
}
