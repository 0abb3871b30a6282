#include "FormAccessibility.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLineEdit>

#include "CVantixView.h"

namespace {

class NamedComboBoxAccessible : public QAccessibleWidget {
public:
    explicit NamedComboBoxAccessible(QComboBox* box)
        : QAccessibleWidget(box, QAccessible::ComboBox) {}

    // The drop-down list first, then the line edit of an editable box.
    int childCount() const override { return Box()->isEditable() ? 2 : 1; }
    QAccessibleInterface* child(int index) const override {
        if (index == 0) {
            return QAccessible::queryAccessibleInterface(Box()->view());
        }
        if (index == 1 && Box()->isEditable()) {
            return QAccessible::queryAccessibleInterface(Box()->lineEdit());
        }
        return nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        if (child->object() == Box()->view()) {
            return 0;
        }
        if (Box()->isEditable() && child->object() == Box()->lineEdit()) {
            return 1;
        }
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const QLineEdit* edit = Box()->lineEdit();
        if (edit != nullptr && edit->rect().contains(edit->mapFromGlobal(QPoint(x, y)))) {
            return child(1);
        }
        return nullptr;
    }
    // The box passes its focus to its line edit.
    QAccessibleInterface* focusChild() const override {
        return Box()->isEditable() ? child(1) : nullptr;
    }

    QString text(QAccessible::Text t) const override {
        const QString value =
            Box()->isEditable() ? Box()->lineEdit()->text() : Box()->currentText();
        switch (t) {
            case QAccessible::Value:
                return value;
            case QAccessible::Name: {
                // The owner's name, else the label whose buddy the box is.
                const QString name = QAccessibleWidget::text(t);
                return name.isEmpty() ? value : name;
            }
            default:
                return QAccessibleWidget::text(t);
        }
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.expandable = true;
        state.expanded = Box()->view()->isVisible();
        state.editable = Box()->isEditable();
        return state;
    }

    QStringList actionNames() const override {
        return {QAccessibleActionInterface::showMenuAction(),
                QAccessibleActionInterface::pressAction()};
    }
    void doAction(const QString& action) override {
        if (action != showMenuAction() && action != pressAction()) {
            return;
        }
        if (Box()->view()->isVisible()) {
            Box()->hidePopup();
        } else {
            Box()->showPopup();
        }
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QComboBox* Box() const { return static_cast<QComboBox*>(object()); }
};

QAccessibleInterface* MakeInterface(const QString&, QObject* object) {
    auto* box = qobject_cast<QComboBox*>(object);
    if (box != nullptr && qobject_cast<CVantixView*>(box->parentWidget()) != nullptr) {
        return new NamedComboBoxAccessible(box);
    }
    return nullptr;
}

}  // namespace

namespace FormAccessibility {

void Install() {
    static const bool installed = [] {
        QAccessible::installFactory(&MakeInterface);
        return true;
    }();
    (void)installed;
}

}  // namespace FormAccessibility
