#include "ControlAccessibility.h"

#include <QAccessibleWidget>

#include "CHexEditBase.h"
#include "CPercentProgressCtrl.h"
#include "CSectionLabel.h"
#include "CStatusLabel.h"
#include "CiLedRoundX.h"
#include "HexViewAccessible.h"
#include "MnemonicText.h"

namespace {

// A label: its name is the text it shows, unless its owner named it.
class LabelAccessible : public QAccessibleWidget {
public:
    using ShownText = QString (*)(const QWidget*);
    LabelAccessible(QWidget* widget, ShownText shown)
        : QAccessibleWidget(widget, QAccessible::StaticText), shown_(shown) {}
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty()) {
            return WithoutMnemonics(shown_(widget()));
        }
        return QAccessibleWidget::text(t);
    }

private:
    ShownText shown_;
};

QString StatusText(const QWidget* widget) {
    return static_cast<const CStatusLabel*>(widget)->ShownText();
}

QString SectionText(const QWidget* widget) {
    return static_cast<const CSectionLabel*>(widget)->Text();
}

class ProgressAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit ProgressAccessible(CPercentProgressCtrl* bar)
        : QAccessibleWidget(bar, QAccessible::ProgressBar) {}
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ValueInterface ? static_cast<QAccessibleValueInterface*>(this)
                                                   : QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) {
            return Bar()->ShownText();
        }
        return QAccessibleWidget::text(t);
    }
    QVariant currentValue() const override { return Bar()->Percent(); }
    void setCurrentValue(const QVariant&) override {}  // shows progress, takes no input
    QVariant maximumValue() const override { return 100; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    const CPercentProgressCtrl* Bar() const {
        return static_cast<const CPercentProgressCtrl*>(object());
    }
};

class LampAccessible : public QAccessibleWidget {
public:
    explicit LampAccessible(CiLedRoundX* lamp) : QAccessibleWidget(lamp, QAccessible::StaticText) {}
    QString text(QAccessible::Text t) const override {
        const auto* lamp = static_cast<const CiLedRoundX*>(object());
        switch (t) {
            case QAccessible::Description:
            case QAccessible::Value:
                return lamp->StateText();
            case QAccessible::Name:
                if (lamp->accessibleName().isEmpty()) {
                    return QStringLiteral("Lamp");
                }
                break;
            default:
                break;
        }
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* MakeInterface(const QString&, QObject* object) {
    if (auto* label = qobject_cast<CStatusLabel*>(object)) {
        return new LabelAccessible(label, &StatusText);
    }
    if (auto* caption = qobject_cast<CSectionLabel*>(object)) {
        return new LabelAccessible(caption, &SectionText);
    }
    if (auto* bar = qobject_cast<CPercentProgressCtrl*>(object)) {
        return new ProgressAccessible(bar);
    }
    if (auto* lamp = qobject_cast<CiLedRoundX*>(object)) {
        return new LampAccessible(lamp);
    }
    if (auto* hex = qobject_cast<CHexEditBase*>(object)) {
        return new HexViewAccessible(hex);
    }
    return nullptr;
}

}  // namespace

namespace ControlAccessibility {

namespace {

Listener listener_ = nullptr;

void Send(QAccessibleEvent& event) {
    if (listener_ != nullptr) {
        listener_(&event);
    }
    QAccessible::updateAccessibility(&event);
}

}  // namespace

void Install() {
    static const bool installed = [] {
        QAccessible::installFactory(&MakeInterface);
        return true;
    }();
    (void)installed;
}

Listener SetListener(Listener listener) {
    const Listener previous = listener_;
    listener_ = listener;
    return previous;
}

void NameChanged(QObject* control) {
    QAccessibleEvent event(control, QAccessible::NameChanged);
    Send(event);
}

void DescriptionChanged(QObject* control) {
    QAccessibleEvent event(control, QAccessible::DescriptionChanged);
    Send(event);
}

void ValueChanged(QObject* control, int value) {
    QAccessibleValueChangeEvent event(control, value);
    Send(event);
}

}  // namespace ControlAccessibility
