// What a screen reader calls the form's controls. A control is named by the label or the
// section caption just before it in the layout; the controls without one get a name here.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "CVantixView.h"
#include "FormAccessibility.h"
#include "MnemonicText.h"

using FormLayout::ControlKind;
using FormLayout::FormControl;

void CVantixView::NameControls(const std::vector<QWidget*>& placed) {
    FormAccessibility::Install();
    const std::span<const FormControl> table = FormLayout::Controls();
    for (std::size_t i = 0; i + 1 < table.size() && i + 1 < placed.size(); ++i) {
        QWidget* next = placed[i + 1];
        const QString caption = WithoutMnemonics(QString::fromLatin1(table[i].caption));
        if (table[i].id == FormLayout::kNoId && table[i].kind == ControlKind::Label &&
            next->focusPolicy() != Qt::NoFocus) {
            // "CPU", "S File Path": the label is the box's buddy, as in a dialog.
            static_cast<QLabel*>(placed[i])->setBuddy(next);
        } else if (table[i].kind == ControlKind::SectionLabel) {
            next->setAccessibleName(caption);
        } else {
            continue;
        }
        // An editable box's line edit has the focus while the box is being typed in.
        if (auto* box = qobject_cast<QComboBox*>(next); box != nullptr && box->isEditable()) {
            box->lineEdit()->setAccessibleName(caption);
        }
    }
    for (int step = 0; step < static_cast<int>(leds_.size()); ++step) {
        leds_[static_cast<std::size_t>(step)].setAccessibleName(
            QStringLiteral("Step %1 lamp").arg(step + 1));
    }
    progressBar_.setAccessibleName(QStringLiteral("Progress"));
    hexDisplay_.setAccessibleName(QStringLiteral("Hex display"));
}
