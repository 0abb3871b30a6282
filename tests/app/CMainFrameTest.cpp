// The window at twice the scale (QT_SCALE_FACTOR=2, set by the test's environment) on a
// virtual screen: one too small for the form, one large enough.
#include <QApplication>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include "AppRig.h"

namespace {

const QString kMain = QStringLiteral("Main Configuration/");

void SeedRectangle(AppRig& rig, const QRect& outer) {
    QSettings seed(rig.SettingsPath(), QSettings::IniFormat);
    seed.setValue(kMain + QStringLiteral("Left Pos"), outer.left());
    seed.setValue(kMain + QStringLiteral("Top Pos"), outer.top());
    seed.setValue(kMain + QStringLiteral("Right Pos"), outer.left() + outer.width());
    seed.setValue(kMain + QStringLiteral("Bottom Pos"), outer.top() + outer.height());
}

void Settle() {
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
    }
}

// The widget lies wholly in the part of the form that the window shows.
bool InView(QScrollArea& area, QWidget& widget) {
    const QRect shown = area.viewport()->rect();
    const QRect at(widget.mapTo(area.viewport(), QPoint(0, 0)), widget.size());
    return shown.contains(at);
}

class ScaledScreenTest : public QObject {
    Q_OBJECT

private slots:
    // 1400 x 1000 pixels, 700 x 500 at twice the scale: the form does not fit. The window
    // opens inside the available area at its top left, whatever the saved rectangle says,
    // and the form scrolls, so that every control can be reached.
    void aFormTooLargeForTheScreenOpensInsideItAndScrolls() {
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(QGuiApplication::primaryScreen()->devicePixelRatio(), 2.0);
        AppRig rig;
        SeedRectangle(rig, QRect(300, 200, 721, 681));
        QVERIFY(rig.Start());
        Settle();
        CMainFrame& frame = rig.Frame();
        QVERIFY2(available.contains(frame.frameGeometry()),
                 qPrintable(QStringLiteral("%1,%2 %3x%4")
                                .arg(frame.frameGeometry().x())
                                .arg(frame.frameGeometry().y())
                                .arg(frame.frameGeometry().width())
                                .arg(frame.frameGeometry().height())));
        QCOMPARE(frame.frameGeometry().topLeft(), available.topLeft());
        QCOMPARE(frame.minimumSize(), frame.maximumSize());
        QCOMPARE(rig.Form().size(), rig.Form().FormSize());

        auto* scrolling = frame.findChild<QScrollArea*>();
        QVERIFY(scrolling != nullptr);
        QScrollArea& area = *scrolling;
        QVERIFY(area.verticalScrollBar()->maximum() > 0);
        CVantixView& form = rig.Form();
        QVERIFY(!InView(area, form.HexDisplay()));
        QApplication::setActiveWindow(&frame);
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        // From the first control, Shift+Tab goes round to the last one, the hex view, at
        // the bottom right of the form: it comes into view.
        QCOMPARE(QApplication::focusWidget(), &form.CpuSelection());
        QTest::keyClick(&form.CpuSelection(), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), &form.HexDisplay());
        QVERIFY(InView(area, form.HexDisplay()));
        QTest::keyClick(&form.HexDisplay(), Qt::Key_Backtab, Qt::ShiftModifier);
        QVERIFY(InView(area, form.RegionList()));
    }

    // 1400 x 1000 pixels at 1.3 or 1.4 times the scale: the window fits. Saved where it
    // would reach past the right and bottom edges, it is moved in just so far; saved where
    // it lies inside, it opens there.
    void aSavedPositionReachingPastTheScreenIsMovedIn() {
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(QGuiApplication::primaryScreen()->devicePixelRatio() > 1.0);
        AppRig rig;
        SeedRectangle(rig, QRect(599, 280, 721, 681));
        QVERIFY(rig.Start());
        Settle();
        const QRect outer = rig.Frame().frameGeometry();
        QCOMPARE(rig.Frame().size(), rig.Form().FormSize());
        QVERIFY2(available.contains(outer),
                 qPrintable(QStringLiteral("%1,%2 %3x%4 in %5x%6")
                                .arg(outer.x())
                                .arg(outer.y())
                                .arg(outer.width())
                                .arg(outer.height())
                                .arg(available.width())
                                .arg(available.height())));
        QCOMPARE(outer.right(), available.right());
        QCOMPARE(outer.bottom(), available.bottom());
        QVERIFY(rig.Frame().close());
        rig.app->ExitInstance();

        AppRig inside;
        SeedRectangle(inside, QRect(20, 10, 721, 681));
        QVERIFY(inside.Start());
        Settle();
        QCOMPARE(inside.Frame().frameGeometry().topLeft(), QPoint(20, 10));
    }

    // 3000 x 2000 pixels: the window fits. The rectangle it is closed with is saved in the
    // toolkit's units and it opens there again; nothing doubles.
    void thePositionIsKeptInTheToolkitsUnits() {
        AppRig rig;
        QVERIFY(rig.Start());
        Settle();
        QCOMPARE(rig.Frame().size(), rig.Form().FormSize());
        rig.Frame().move(60, 40);
        Settle();
        const QRect outer = rig.Frame().frameGeometry();
        QCOMPARE(outer.topLeft(), QPoint(60, 40));
        QVERIFY(rig.Frame().close());
        rig.app->ExitInstance();
        const QSettings stored = rig.Stored();
        QCOMPARE(stored.value(kMain + QStringLiteral("Left Pos")).toInt(), 60);
        QCOMPARE(stored.value(kMain + QStringLiteral("Top Pos")).toInt(), 40);
        QCOMPARE(stored.value(kMain + QStringLiteral("Right Pos")).toInt(), 60 + outer.width());

        AppRig again;
        SeedRectangle(again, outer);
        QVERIFY(again.Start());
        Settle();
        QCOMPARE(again.Frame().frameGeometry(), outer);
    }
};

}  // namespace

QTEST_MAIN(ScaledScreenTest)

#include "CMainFrameTest.moc"
