// The keys that a dialog's controls answer, and the keyboard focus shown wherever it is.
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTest>

#include "FormLayout.h"
#include "FormRig.h"
#include "FormTests.h"
#include "SFileImage.h"

namespace {

void Activate(FormRig& rig) {
    QApplication::setActiveWindow(rig.view.get());
    QVERIFY(QTest::qWaitForWindowActive(rig.view.get()));
}

QImage Grab(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The control drawn with the focus and again without it.
std::pair<QImage, QImage> WithAndWithoutFocus(FormRig& rig, QWidget& control) {
    control.setFocus(Qt::OtherFocusReason);
    Settle();
    const QImage focused = Grab(control);
    rig.view->Button(FormLayout::kTargetReset)->setFocus(Qt::OtherFocusReason);
    Settle();
    return {focused, Grab(control)};
}

class KeysAndFocusTest : public QObject {
    Q_OBJECT

private slots:
    void enterPressesTheFocusedButton_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("Enter") << int(Qt::Key_Return) << int(Qt::NoModifier);
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier);
    }
    void enterPressesTheFocusedButton() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        FormRig rig;
        rig.Start();
        Activate(rig);
        QPushButton* reset = rig.view->Button(FormLayout::kTargetReset);
        reset->setFocus(Qt::TabFocusReason);
        rig.ClearMessages();
        QTest::keyClick(reset, static_cast<Qt::Key>(key),
                        static_cast<Qt::KeyboardModifiers>(modifiers));
        QCOMPARE(rig.Messages(),
                 (std::vector<FormRig::Line>{
                     {QStringLiteral("Target board reset is OK !!!"), kColourGreen}}));
        Settle();
        // A key held down repeats; the button is pressed once.
        QTest::simulateEvent(reset, true, key, static_cast<Qt::KeyboardModifiers>(modifiers),
                             QString(), true);
        QCOMPARE(rig.Messages().size(), std::size_t{1});
    }

    // A key held down acts once, whether the window system marks its repeats or sends them
    // as further presses; held across the end of the operation it starts none; once let
    // go, wherever the focus was then, it acts again.
    void aHeldKeyActsOnce_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Space") << int(Qt::Key_Space);
    }
    void aHeldKeyActsOnce() {
        QFETCH(int, key);
        FormRig rig;
        rig.Start();
        Activate(rig);
        QPushButton* reset = rig.view->Button(FormLayout::kTargetReset);
        reset->setFocus(Qt::TabFocusReason);
        rig.ClearMessages();
        const auto send = [key](QWidget* to, bool press, bool repeat) {
            QTest::simulateEvent(to, press, key, Qt::NoModifier, QString(), repeat);
            Settle();
        };
        for (const bool repeat : {false, false, true, false, true}) {
            send(reset, true, repeat);
        }
        send(reset, false, false);
        QCOMPARE(rig.Messages().size(), std::size_t{1});

        send(reset, true, false);
        send(reset, true, false);  // still down after the reset, with the focus back
        if (key == Qt::Key_Return) {
            QCOMPARE(rig.Messages().size(), std::size_t{2});
            send(&rig.view->CpuSelection(), false, false);  // let go elsewhere
            send(reset, true, false);
            send(reset, false, false);
            QCOMPARE(rig.Messages().size(), std::size_t{3});
        } else {
            send(reset, false, false);
            QCOMPARE(rig.Messages().size(), std::size_t{2});
        }
    }

    // Enter on a row shows its region, as a double-click does.
    void enterOnARegionRowShowsTheRegion() {
        FormRig rig;
        rig.Start();
        rig.LoadExample("dsp56f807.s", CpuType::DSP56F807);
        Activate(rig);
        QTableWidget& list = rig.view->RegionList();
        list.setFocus(Qt::TabFocusReason);
        for (int i = 0; i < 3; ++i) {
            QTest::keyClick(&list, Qt::Key_Down);
        }
        QCOMPARE(list.item(list.currentRow(), 0)->text(), QStringLiteral("DFLASH"));
        QCOMPARE(rig.view->HexDisplay().BaseAddress(), 0u);
        QTest::keyClick(&list, Qt::Key_Return);
        const AddressArea& dflash = rig.image.Area(MemoryRegion::DFLASH);
        QCOMPARE(rig.view->HexDisplay().BaseAddress(), dflash.start);
        QCOMPARE(rig.view->HexDisplay().Length(), 2 * dflash.size);
        QTest::keyClick(&list, Qt::Key_Up);
        QTest::keyClick(&list, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(rig.view->HexDisplay().BaseAddress(), rig.image.Area(MemoryRegion::BFLASH).start);
        QCOMPARE(QApplication::focusWidget(), &list);
    }

    // The CPU box has the focus at start-up and shows it before any key was pressed.
    void theFocusShowsOnTheCpuBoxAtStartUp() {
        FormRig rig;
        rig.Start();
        Activate(rig);
        QComboBox& cpu = rig.view->CpuSelection();
        QCOMPARE(QApplication::focusWidget(), &cpu);
        const QImage atStart = Grab(cpu);
        rig.view->Button(FormLayout::kTargetReset)->setFocus(Qt::OtherFocusReason);
        Settle();
        QVERIFY(atStart != Grab(cpu));
    }

    // The hex view and the region list show the focus, with data and without, and the list
    // also while it has rows but none selected.
    void theFocusShowsOnTheHexViewAndTheRegionList() {
        FormRig rig;
        rig.Start();
        Activate(rig);
        for (QWidget* control : {static_cast<QWidget*>(&rig.view->HexDisplay()),
                                 static_cast<QWidget*>(&rig.view->RegionList())}) {
            const auto [focused, unfocused] = WithAndWithoutFocus(rig, *control);
            QVERIFY2(focused != unfocused, control->metaObject()->className());
        }
        rig.LoadExample("dsp56f807.s", CpuType::DSP56F807);
        QTableWidget& list = rig.view->RegionList();
        QVERIFY(list.selectedItems().isEmpty());
        const auto [focused, unfocused] = WithAndWithoutFocus(rig, list);
        QVERIFY(focused != unfocused);
        rig.view->HexDisplay().SetData(nullptr, 0, true);
        const auto [emptyFocused, emptyUnfocused] =
            WithAndWithoutFocus(rig, rig.view->HexDisplay());
        QVERIFY(emptyFocused != emptyUnfocused);
    }
};

}  // namespace

std::unique_ptr<QObject> MakeKeysAndFocusTest() {
    return std::make_unique<KeysAndFocusTest>();
}

#include "DialogButtonTest.moc"
