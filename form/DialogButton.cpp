#include "DialogButton.h"

#include <QKeyEvent>

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
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const Qt::KeyboardModifiers others = event->modifiers() & ~Qt::KeypadModifier;
    if (enter && others == Qt::NoModifier) {
        // Held down, the key repeats; it presses the button once.
        if (!event->isAutoRepeat()) {
            click();
        }
        event->accept();
        return;
    }
    QPushButton::keyPressEvent(event);
}
