#include "InputGate.h"

#include <QAbstractScrollArea>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QScrollBar>

namespace {

// Posted when an operation ends; it is handled once the event loop runs again.
class OpenEvent : public QEvent {
public:
    explicit OpenEvent(unsigned generation) : QEvent(Kind()), generation(generation) {}
    static QEvent::Type Kind() {
        static const auto kind = static_cast<QEvent::Type>(QEvent::registerEventType());
        return kind;
    }
    const unsigned generation;
};

// What the operator does with the mouse, the keys and the wheel. Moves and hovers only
// highlight; they stay untouched.
bool IsInput(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
            return true;
        default:
            return false;
    }
}

// The widget or one of its parents, across the pop-ups that controls open (a drop-down list
// is a window of its own whose parent is its box).
bool Within(const QWidget* widget, const QWidget* ancestor) {
    for (; widget != nullptr; widget = widget->parentWidget()) {
        if (widget == ancestor) {
            return true;
        }
        if (widget->isWindow() && widget->windowType() != Qt::Popup) {
            return false;
        }
    }
    return false;
}

// Scrolling a view starts nothing: its scroll bars, and the wheel over it, stay at the
// operator's hands. A drop-down box takes the wheel to change its value, so not over one.
bool Scrolls(const QWidget* widget, QEvent::Type type) {
    if (qobject_cast<const QScrollBar*>(widget) != nullptr) {
        return true;
    }
    if (type != QEvent::Wheel) {
        return false;
    }
    bool inView = false;
    for (const QWidget* w = widget; w != nullptr && !w->isWindow(); w = w->parentWidget()) {
        if (qobject_cast<const QComboBox*>(w) != nullptr) {
            return false;
        }
        inView = inView || qobject_cast<const QAbstractScrollArea*>(w) != nullptr;
    }
    return inView;
}

}  // namespace

InputGate::InputGate(QWidget& form) : form_(form) {
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->installEventFilter(this);
    }
}

InputGate::~InputGate() {
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeEventFilter(this);
    }
}

void InputGate::SetUsable(const QList<QWidget*>& controls) {
    usable_.clear();
    for (QWidget* control : controls) {
        usable_.append(control);
    }
}

void InputGate::Close() {
    closed_ = true;
    ++generation_;
}

void InputGate::OpenAtEventLoop() {
    // A round trip to the window system first: every click and key it holds now was made
    // before this point, and each one reaches the filter below while the gate is closed.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
        QGuiApplication::sync();
    }
    QCoreApplication::processEvents();
    QCoreApplication::postEvent(this, new OpenEvent(generation_), Qt::LowEventPriority);
}

void InputGate::WhenOpen(std::function<void()> work) {
    if (!closed_) {
        work();
        return;
    }
    whenOpen_ = std::move(work);
}

void InputGate::customEvent(QEvent* event) {
    if (event->type() == OpenEvent::Kind() &&
        static_cast<OpenEvent*>(event)->generation == generation_ && closed_) {
        Open();
    }
}

void InputGate::Open() {
    closed_ = false;
    if (whenOpen_) {
        std::function<void()> work = std::move(whenOpen_);
        whenOpen_ = nullptr;
        work();
    }
}

bool InputGate::eventFilter(QObject* watched, QEvent* event) {
    if (!closed_ || !IsInput(event->type())) {
        return false;
    }
    // Input for a window is judged when it reaches the widget the window hands it to.
    const auto* widget = qobject_cast<const QWidget*>(watched);
    if (widget == nullptr || !Guards(widget)) {
        return false;
    }
    // A menu runs an event loop of its own and would hold the operation up.
    if (event->type() == QEvent::ContextMenu) {
        return true;
    }
    return !IsUsable(widget) && !Scrolls(widget, event->type());
}

bool InputGate::Guards(const QWidget* widget) const {
    return Within(widget, form_.window());
}

bool InputGate::IsUsable(const QWidget* widget) const {
    for (const QPointer<QWidget>& control : usable_) {
        if (control != nullptr && Within(widget, control)) {
            return true;
        }
    }
    return false;
}
