// Where the form's controls sit, what they say, and which handler each button runs.
#include <QApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QTest>
#include <algorithm>

#include "FormLayout.h"
#include "FormRig.h"
#include "FormTests.h"

namespace {

class LayoutTest : public QObject {
    Q_OBJECT

private slots:
    void dialogUnitsRoundLikeTemplates() {
        const DialogUnits units(7, 14);
        QCOMPARE(units.ToPixels(QSize(411, 388)), QSize(719, 679));
        QCOMPARE(units.X(2), 4);  // 3.5 rounds up
        QCOMPARE(units.Y(1), 2);  // 1.75
        QCOMPARE(units.X(0), 0);
    }

    void averageWidthIsTakenOverTheLatinLetters() {
        const QFont font = DialogUnits::FormFont();
        const int letters = QFontMetrics(font).horizontalAdvance(
            QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
        const DialogUnits units(font);
        QCOMPARE(units.AverageCharWidth(), (letters / 26 + 1) / 2);
        QCOMPARE(units.CharHeight(), QFontMetrics(font).height());
    }

    void everyControlSitsWhereTheTableSays() {
        FormRig rig;
        rig.Start();
        const DialogUnits& units = rig.view->Units();
        QCOMPARE(rig.view->size(), units.ToPixels(QSize(411, 388)));
        int placed = 0;
        for (const FormLayout::FormControl& control : FormLayout::Controls()) {
            if (control.id == FormLayout::kNoId) {
                continue;
            }
            QWidget* widget = rig.view->Control(control.id);
            QVERIFY2(widget != nullptr, qPrintable(QString::number(control.id)));
            const QRect expected = units.ToPixels(control.x, control.y, control.w, control.h);
            QCOMPARE(widget->pos(), expected.topLeft());
            QCOMPARE(widget->width(), expected.width());
            ++placed;
        }
        QCOMPARE(placed, 24);
    }

    // Group boxes are stacked under what they frame, so clicks reach the buttons.
    void controlsLieAboveTheirGroupBoxes() {
        FormRig rig;
        rig.Start();
        for (int id : {FormLayout::kFileLoad, FormLayout::kTargetVerify, FormLayout::kEraseAllBoot,
                       FormLayout::kBrowse}) {
            QWidget* control = rig.view->Control(id);
            QCOMPARE(rig.view->childAt(control->geometry().center()), control);
        }
    }

    void captionsAndTheRegionListAreSetUp() {
        FormRig rig;
        rig.Start();
        QCOMPARE(rig.view->Button(FormLayout::kTargetWriteVerify)->text(),
                 QStringLiteral("Target Write && Verify"));
        QCOMPARE(rig.view->Button(FormLayout::kBrowse)->text(), QStringLiteral("..."));
        QCOMPARE(rig.view->StatusLabel().ShownText(), QStringLiteral("Current Status"));
        QCOMPARE(rig.view->CpuSelection().count(), 4);
        QCOMPARE(rig.view->CpuSelection().itemText(0), QStringLiteral("DSP56F801"));
        QTableWidget& list = rig.view->RegionList();
        QCOMPARE(list.columnCount(), 3);
        QCOMPARE(list.horizontalHeaderItem(0)->text(), QStringLiteral("Memory Name"));
        QCOMPARE(list.horizontalHeaderItem(1)->text(), QStringLiteral("Start Address"));
        QCOMPARE(list.horizontalHeaderItem(2)->text(), QStringLiteral("Data Size"));
        QVERIFY(!list.horizontalHeader()->sectionsClickable());
        QVERIFY(!list.isSortingEnabled());
        QVERIFY(list.showGrid());
        QCOMPARE(list.selectionMode(), QAbstractItemView::SingleSelection);
        QCOMPARE(list.selectionBehavior(), QAbstractItemView::SelectRows);
        QVERIFY(rig.view->PathBox().isEditable());
        QCOMPARE(rig.view->PathBox().insertPolicy(), QComboBox::NoInsert);
    }

    // Each button reaches its own handler: with nothing loaded each refuses in its own words.
    // The window is idle between the clicks, as between an operator's separate commands.
    void buttonsRunTheirOwnHandlers() {
        FormRig rig;
        rig.Start();
        const std::pair<int, const char*> buttons[] = {
            {FormLayout::kTargetWrite, "There is no S File data to write into flash"},
            {FormLayout::kTargetWriteVerify, "There is no S File data to write && verify"},
            {FormLayout::kTargetVerify, "There is no S File data to verify with flash"},
            {FormLayout::kPodWrite, "There is no S File data to write into EEPROM"},
            {FormLayout::kPodVerify, "There is no S File data to verify with EEPROM"},
            {FormLayout::kTargetReset, "Target board reset is OK !!!"},
            {FormLayout::kFileLoad, "Please, specify S File to load buffer"},
        };
        for (const auto& [id, text] : buttons) {
            QTest::mouseClick(rig.view->Button(id), Qt::LeftButton);
            QCOMPARE(rig.LastMessage(), QString::fromLatin1(text));
            Settle();
        }
        bool browsed = false;
        rig.view->SetFileChooser([&](const QString&) {
            browsed = true;
            return QString();
        });
        QTest::mouseClick(rig.view->Button(FormLayout::kBrowse), Qt::LeftButton);
        QVERIFY(browsed);
    }

    // The focus starts on the first control; Tab visits every control that takes the focus,
    // in the table's order; Shift+Tab visits the same controls in reverse, so none is out of
    // reach going backward.
    void shiftTabRetracesTab() {
        FormRig rig;
        rig.Start();
        QApplication::setActiveWindow(rig.view.get());
        QVERIFY(QTest::qWaitForWindowActive(rig.view.get()));
        QList<QWidget*> focusable;
        for (const FormLayout::FormControl& control : FormLayout::Controls()) {
            QWidget* widget = rig.view->Control(control.id);
            if (widget != nullptr && (widget->focusPolicy() & Qt::TabFocus)) {
                focusable.append(widget->focusProxy() ? widget->focusProxy() : widget);
            }
        }
        QCOMPARE(QApplication::focusWidget(), focusable.front());
        // From the first control round to it again, or a bounded number of steps.
        const auto walk = [&](Qt::Key key, Qt::KeyboardModifiers modifiers) {
            QList<QWidget*> visited{focusable.front()};
            focusable.front()->setFocus(Qt::OtherFocusReason);
            for (int step = 0; step < 2 * focusable.size(); ++step) {
                QTest::keyClick(QApplication::focusWidget(), key, modifiers);
                if (QApplication::focusWidget() == focusable.front()) {
                    break;
                }
                visited.append(QApplication::focusWidget());
            }
            return visited;
        };
        QCOMPARE(walk(Qt::Key_Tab, Qt::NoModifier), focusable);
        QList<QWidget*> backward = walk(Qt::Key_Backtab, Qt::ShiftModifier);
        std::reverse(backward.begin() + 1, backward.end());
        QCOMPARE(backward, focusable);
    }

    // Tab and Shift+Tab leave the region list for the neighbouring controls; the arrow keys
    // move within it.
    void tabLeavesTheRegionList() {
        FormRig rig;
        rig.Start();
        rig.LoadExample("dsp56f807.s", CpuType::DSP56F807);
        QApplication::setActiveWindow(rig.view.get());
        QVERIFY(QTest::qWaitForWindowActive(rig.view.get()));
        QTableWidget& list = rig.view->RegionList();
        list.setFocus();
        QTest::keyClick(&list, Qt::Key_Down);
        QCOMPARE(list.currentRow(), 1);
        QCOMPARE(QApplication::focusWidget(), &list);
        QTest::keyClick(&list, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), &rig.view->HexDisplay());
        list.setFocus();
        QTest::keyClick(&list, Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), &rig.view->MessageWindow());
        QCOMPARE(list.currentRow(), 1);
    }
};

}  // namespace

std::unique_ptr<QObject> MakeLayoutTest() {
    return std::make_unique<LayoutTest>();
}

#include "FormLayoutTest.moc"
