// Clicks and keys made while an operation runs, driven through the window as input events.
// The window system hands such input over when events are next processed: during the
// operation (at the displays' repaints) or, for what it still holds, right after the handler
// returns and before the event loop runs again. Both arrive here: input sent from inside the
// operation, and input sent after the button's handler returned but before any event
// processing.
#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <functional>

#include "FormLayout.h"
#include "FormRig.h"
#include "FormTests.h"

namespace {

int FramesStartingWith(const SimulatedPod& sim, char letter) {
    return static_cast<int>(std::count_if(sim.FrameLog().begin(), sim.FrameLog().end(),
                                          [&](const std::string& f) { return f[0] == letter; }));
}

// Runs an action once, at the first repaint of the status line while the form is busy.
class DuringOperation : public QObject {
public:
    DuringOperation(CVantixView& view, std::function<void()> action)
        : view_(view), action_(std::move(action)) {
        view.StatusLabel().installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && view_.IsBusy() && action_) {
            const std::function<void()> action = std::move(action_);
            action_ = nullptr;
            action();
        }
        return false;
    }

private:
    CVantixView& view_;
    std::function<void()> action_;
};

void Activate(FormRig& rig) {
    QApplication::setActiveWindow(rig.view.get());
    QVERIFY(QTest::qWaitForWindowActive(rig.view.get()));
}

class InputDuringOperationTest : public QObject {
    Q_OBJECT

private slots:
    // The second press of a double click, and a second Space, come while the first
    // operation runs: exactly one operation, and the button works again afterwards.
    void aDoubleClickOrADoubleSpaceRunsOneOperation_data() {
        QTest::addColumn<bool>("keyboard");
        QTest::newRow("double click") << false;
        QTest::newRow("double Space") << true;
    }
    void aDoubleClickOrADoubleSpaceRunsOneOperation() {
        QFETCH(bool, keyboard);
        FormRig rig;
        rig.Start();
        rig.LoadExample("dsp56f807.s", CpuType::DSP56F807);
        Activate(rig);
        QPushButton* button = rig.view->Button(FormLayout::kTargetWriteVerify);
        button->setFocus(Qt::TabFocusReason);
        rig.ClearMessages();
        if (keyboard) {
            QTest::keyClick(button, Qt::Key_Space);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        } else {
            QTest::mousePress(button, Qt::LeftButton);
            QTest::mouseRelease(button, Qt::LeftButton);
            // The window system reports the second press of a double click as such.
            QTest::mouseDClick(button, Qt::LeftButton);
            QTest::mouseRelease(button, Qt::LeftButton);
        }
        Settle();
        const QString ok = QStringLiteral("Flash Writing && Verifying is OK !!!");
        QCOMPARE(rig.Messages(), (std::vector<FormRig::Line>{{ok, kColourGreen}}));
        QCOMPARE(FramesStartingWith(rig.sim, 'M'), 1);

        // Once the window is idle, the next press is the operator's next command.
        QCOMPARE(QApplication::focusWidget(), button);
        QTest::keyClick(button, Qt::Key_Space);
        Settle();
        QCOMPARE(FramesStartingWith(rig.sim, 'M'), 2);
    }

    // "Target Write" is greyed while "Target Verify" runs: a click on it then, whether it
    // arrives during the verify or only after it, writes nothing.
    void aClickOnAGreyedButtonStartsNothingAfterwards() {
        FormRig rig;
        rig.Start();
        rig.LoadExample("dsp56f807.s", CpuType::DSP56F807);
        Activate(rig);
        QPushButton* write = rig.view->Button(FormLayout::kTargetWrite);
        bool greyed = false;
        const DuringOperation click(*rig.view, [&] {
            greyed = !write->isEnabled();
            QTest::mouseClick(write, Qt::LeftButton);
        });
        rig.ClearMessages();
        QTest::mouseClick(rig.view->Button(FormLayout::kTargetVerify), Qt::LeftButton);
        QTest::mouseClick(write, Qt::LeftButton);
        QTest::keyClick(write, Qt::Key_Space);
        Settle();
        QVERIFY(greyed);
        QCOMPARE(rig.Status(), QStringLiteral("DFLASH Verify Error"));
        QCOMPARE(FramesStartingWith(rig.sim, 'M'), 0);
        QVERIFY(rig.Messages().empty());
        QVERIFY(rig.ControlsEnabled());
    }

    // The option boxes, the path box and "..." stay usable: a box ticked during an
    // operation takes effect at the next one, and "..." opens its dialog once the
    // operation is over.
    void theControlsKeptUsableTakeInputDuringAnOperation() {
        FormRig rig;
        rig.Start();
        rig.LoadExample("dsp56f807.s", CpuType::DSP56F807);
        Activate(rig);
        QCheckBox& reset = rig.view->ResetAfterWriteBox();
        QCheckBox& eraseAll = rig.view->EraseAllBootBox();
        QVERIFY(!reset.isChecked());
        QVERIFY(eraseAll.isChecked());
        int browsed = 0;
        bool browsedWhileBusy = false;
        rig.view->SetFileChooser([&](const QString&) {
            ++browsed;
            browsedWhileBusy = browsedWhileBusy || rig.view->IsBusy();
            return QString();
        });
        CHexEditBase& hex = rig.view->HexDisplay();
        const DuringOperation during(*rig.view, [&] {
            QTest::mouseClick(&reset, Qt::LeftButton);
            QTest::mouseClick(rig.view->Button(FormLayout::kBrowse), Qt::LeftButton);
            // The views scroll: a click below the handle of the hex view's bar pages down.
            QScrollBar* bar = hex.verticalScrollBar();
            QTest::mouseClick(bar, Qt::LeftButton, {},
                              QPoint(bar->width() / 2, bar->height() - 20));
        });
        QTest::mouseClick(rig.view->Button(FormLayout::kTargetWrite), Qt::LeftButton);
        // Ticked during the write, too late for it: no reset after it.
        QVERIFY(reset.isChecked());
        QVERIFY(hex.TopRow() > 0);
        QCOMPARE(FramesStartingWith(rig.sim, 'R'), 0);
        // Arriving after the write, before the window was idle again.
        QTest::mouseClick(&eraseAll, Qt::LeftButton);
        QVERIFY(!eraseAll.isChecked());
        QCOMPARE(browsed, 0);
        Settle();
        QCOMPARE(browsed, 1);
        QVERIFY(!browsedWhileBusy);

        QTest::mouseClick(rig.view->Button(FormLayout::kTargetWrite), Qt::LeftButton);
        Settle();
        QCOMPARE(rig.LastMessage(), QStringLiteral("Flash Writing is OK !!!"));
        QCOMPARE(rig.sim.FrameLog().back(), std::string("R"));
    }
};

}  // namespace

std::unique_ptr<QObject> MakeInputDuringOperationTest() {
    return std::make_unique<InputDuringOperationTest>();
}

#include "InputGateTest.moc"
