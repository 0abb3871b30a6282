// The form as a screen reader sees it through the toolkit's accessibility interfaces: a role
// and a name for every control, and what a failed verify tells.
#include <QAccessible>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "AccessibleEvents.h"
#include "FormLayout.h"
#include "FormRig.h"
#include "FormTests.h"

namespace {

QAccessibleInterface* Iface(QObject* object) {
    return QAccessible::queryAccessibleInterface(object);
}

QString Name(QObject* object) {
    return Iface(object)->text(QAccessible::Name);
}

class FormAccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    void everyControlHasItsRoleAndName() {
        FormRig rig;
        rig.Start();
        CVantixView& view = *rig.view;

        QCOMPARE(Iface(&view.CpuSelection())->role(), QAccessible::ComboBox);
        QCOMPARE(Name(&view.CpuSelection()), QStringLiteral("CPU"));
        QCOMPARE(Iface(&view.CpuSelection())->text(QAccessible::Value),
                 QStringLiteral("DSP56F807"));
        view.PathBox().setEditText(QStringLiteral("/boards/a.s"));
        QCOMPARE(Name(&view.PathBox()), QStringLiteral("S File Path"));
        QCOMPARE(Iface(&view.PathBox())->text(QAccessible::Value), QStringLiteral("/boards/a.s"));
        QCOMPARE(Name(view.PathBox().lineEdit()), QStringLiteral("S File Path"));
        QCOMPARE(Name(&view.MessageWindow()), QStringLiteral("Message Window"));
        QCOMPARE(Name(&view.RegionList()), QStringLiteral("Buffer Window"));

        QCOMPARE(Name(&view.StatusLabel()), QStringLiteral("Current Status"));
        QCOMPARE(Name(&view.ProgressBar()), QStringLiteral("Progress"));
        QVERIFY(!Name(&view.HexDisplay()).isEmpty());
        QVERIFY(Iface(&view.HexDisplay())->textInterface()->characterCount() > 0);
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(Name(&view.LedLamp(i)), QStringLiteral("Step %1 lamp").arg(i + 1));
        }
        QCOMPARE(Name(view.Button(FormLayout::kTargetWriteVerify)),
                 QStringLiteral("Target Write & Verify"));

        // Nothing of the form is left a nameless stand-in ("filler").
        QAccessibleInterface* form = Iface(&view);
        for (int i = 0; i < form->childCount(); ++i) {
            QAccessibleInterface* child = form->child(i);
            QVERIFY2(child->role() != QAccessible::Client,
                     child->object()->metaObject()->className());
        }
    }

    // A failed verify: the status line is named by the error, the first lamp says red, and
    // each change was told as it happened.
    void aFailedVerifyIsToldByTheStatusLineAndTheLamp() {
        FormRig rig;
        rig.sim.Fill(SimFill::Erased());
        rig.Start();
        rig.LoadExample("dsp56f807.s", CpuType::DSP56F807);
        AccessibleEvents events;
        QTest::mouseClick(rig.view->Button(FormLayout::kTargetVerify), Qt::LeftButton);
        Settle();
        CVantixView& view = *rig.view;
        QCOMPARE(Name(&view.StatusLabel()), QStringLiteral("DFLASH Verify Error"));
        QCOMPARE(Iface(&view.LedLamp(0))->text(QAccessible::Description), QStringLiteral("red"));
        QCOMPARE(Iface(&view.LedLamp(1))->text(QAccessible::Description), QStringLiteral("off"));
        QVERIFY(!events.Of(&view.StatusLabel(), QAccessible::NameChanged).empty());
        QVERIFY(!events.Of(&view.LedLamp(0), QAccessible::DescriptionChanged).empty());
        QVERIFY(events.Of(&view.LedLamp(1), QAccessible::DescriptionChanged).empty());
        // The verify went through DFLASH's pages before it failed, and ends at 0.
        const auto progress = events.Of(&view.ProgressBar(), QAccessible::ValueChanged);
        QVERIFY(progress.size() >= 2);
        QCOMPARE(progress.back().value.toInt(), 0);
    }
};

}  // namespace

std::unique_ptr<QObject> MakeFormAccessibilityTest() {
    return std::make_unique<FormAccessibilityTest>();
}

#include "FormAccessibilityTest.moc"
