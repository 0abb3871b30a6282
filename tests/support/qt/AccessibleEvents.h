#pragma once

#include <QAccessible>
#include <QObject>
#include <QVariant>
#include <vector>

#include "ControlAccessibility.h"

// Records the accessibility events that the self-painted controls send, while it lives.
class AccessibleEvents {
public:
    struct Event {
        QAccessible::Event type;
        QObject* object;
        QVariant value;  // the new value of a value change
    };

    AccessibleEvents() {
        List().clear();
        previous_ = ControlAccessibility::SetListener(&Record);
    }
    ~AccessibleEvents() { ControlAccessibility::SetListener(previous_); }
    AccessibleEvents(const AccessibleEvents&) = delete;
    AccessibleEvents& operator=(const AccessibleEvents&) = delete;

    // The events of one kind sent for one object, in order.
    std::vector<Event> Of(const QObject* object, QAccessible::Event type) const {
        std::vector<Event> found;
        for (const Event& event : List()) {
            if (event.object == object && event.type == type) {
                found.push_back(event);
            }
        }
        return found;
    }

private:
    static std::vector<Event>& List() {
        static std::vector<Event> events;
        return events;
    }
    static void Record(QAccessibleEvent* event) {
        QVariant value;
        if (event->type() == QAccessible::ValueChanged) {
            value = static_cast<QAccessibleValueChangeEvent*>(event)->value();
        }
        List().push_back({event->type(), event->object(), value});
    }

    ControlAccessibility::Listener previous_ = nullptr;
};
