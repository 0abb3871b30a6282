#include <QTest>

#include "CPercentProgressCtrl.h"
#include "ColorRef.h"
#include "ControlTests.h"

namespace {

// Counts the paints, as Qt's own progress-bar tests do.
class CountingProgress : public CPercentProgressCtrl {
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent* event) override {
        ++paints;
        CPercentProgressCtrl::paintEvent(event);
    }
};

// Pixels within a few steps of the colour: anti-aliased letters rarely match exactly.
int CountPixels(const QImage& image, const QRect& area, const QColor& colour) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            count += qAbs(c.red() - colour.red()) + qAbs(c.green() - colour.green()) +
                                 qAbs(c.blue() - colour.blue()) <=
                             60
                         ? 1
                         : 0;
        }
    }
    return count;
}

}  // namespace

class ProgressTest : public QObject {
    Q_OBJECT

private slots:
    void Percentage_data() {
        QTest::addColumn<int>("lower");
        QTest::addColumn<int>("upper");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("text");
        QTest::newRow("start") << 0 << 100 << 0 << "0%";
        QTest::newRow("end") << 0 << 100 << 100 << "100%";
        QTest::newRow("third, truncated") << 0 << 3 << 1 << "33%";
        QTest::newRow("shifted range") << -50 << 50 << 0 << "50%";
        QTest::newRow("beyond the end") << 0 << 100 << 150 << "150%";
        QTest::newRow("before the start") << 0 << 100 << -20 << "-20%";
        QTest::newRow("widest range") << INT32_MIN << INT32_MAX << INT32_MAX << "100%";
    }
    void Percentage() {
        QFETCH(int, lower);
        QFETCH(int, upper);
        QFETCH(int, position);
        QFETCH(QString, text);
        CPercentProgressCtrl bar;
        bar.resize(200, 20);
        bar.show();
        Settle();
        bar.SetRange(lower, upper);
        bar.SetPos(position);
        QCOMPARE(bar.ShownText(), text);
    }

    void WindowTextReplacesThePercentage() {
        CPercentProgressCtrl bar;
        bar.SetWindowText(QStringLiteral("Busy"));
        QCOMPARE(bar.ShownText(), QStringLiteral("Busy"));
        bar.SetWindowText(QString());
        QCOMPARE(bar.ShownText(), QStringLiteral("0%"));
    }

    void EmptyOrFullBar() {
        CPercentProgressCtrl bar;
        bar.resize(200, 20);
        bar.show();
        Settle();
        const QColor background = FromColorRef(bar.BackgroundColor());
        const QColor filled = FromColorRef(bar.BarColor());
        QCOMPARE(Grab(bar).pixelColor(2, 10), background);
        QCOMPARE(Grab(bar).pixelColor(197, 10), background);
        bar.SetPos(100);
        QCOMPARE(Grab(bar).pixelColor(2, 10), filled);
        QCOMPARE(Grab(bar).pixelColor(197, 10), filled);
        bar.SetRange(0, 3);
        bar.SetPos(1);
        QCOMPARE(bar.FilledWidth(), 66);
        QCOMPARE(Grab(bar).pixelColor(65, 1), filled);
        QCOMPARE(Grab(bar).pixelColor(66, 1), background);
    }

    void TextChangesColourAtTheSplit() {
        CPercentProgressCtrl bar;
        bar.resize(200, 24);
        bar.SetWindowText(QStringLiteral("MMMMMMMMMMMM"));
        bar.show();
        Settle();
        bar.SetPos(50);
        const QImage image = Grab(bar);
        const QRect left(0, 0, 100, 24);
        const QRect right(100, 0, 100, 24);
        const QColor onBar = FromColorRef(bar.TextColorOnBar());
        const QColor onBackground = FromColorRef(bar.TextColorOnBackground());
        QCOMPARE(image.pixelColor(1, 1), FromColorRef(bar.BarColor()));
        QVERIFY(CountPixels(image, left, onBar) > 10);          // window-coloured letters
        QVERIFY(CountPixels(image, right, onBackground) > 10);  // highlight-coloured letters
    }

    void RepaintsOnlyWhenTheFillMovesAPixel() {
        CountingProgress bar;
        bar.resize(200, 20);
        bar.show();
        Settle();
        bar.SetRange(0, 1000);
        const int before = bar.paints;
        bar.SetPos(1);  // 0.2 pixels, but nothing drawn at this size yet
        QCOMPARE(bar.paints, before + 1);
        bar.SetPos(4);  // still 0 pixels
        QCOMPARE(bar.paints, before + 1);
        QCOMPARE(bar.ShownText(), QStringLiteral("0%"));
        bar.SetPos(5);  // 1 pixel: repainted before SetPos returns
        QCOMPARE(bar.paints, before + 2);
        bar.SetPos(9);
        QCOMPARE(bar.paints, before + 2);
        bar.resize(300, 20);
        Settle();
        const int resized = bar.paints;
        bar.SetPos(9);  // the resize forgot the width
        QCOMPARE(bar.paints, resized + 1);
    }

    void SetPosReturnsThePreviousPosition() {
        CPercentProgressCtrl bar;
        QCOMPARE(bar.SetPos(5), -1);  // no window yet: nothing stored
        QCOMPARE(bar.Pos(), 0);
        bar.show();
        Settle();
        QCOMPARE(bar.SetPos(5), 0);
        QCOMPARE(bar.SetPos(7), 5);
        QCOMPARE(bar.Pos(), 7);
    }

    void EmptyRangeDrawsNothing() {
        CountingProgress bar;
        bar.resize(200, 20);
        bar.show();
        Settle();
        bar.SetRange(10, 10);
        const int before = bar.paints;
        QCOMPARE(bar.SetPos(10), 0);
        QCOMPARE(bar.SetPos(11), 10);
        QCOMPARE(bar.paints, before);
        bar.SetRange(10, 5);
        bar.RepaintNow();  // completes without dividing by zero
        QCOMPARE(bar.paints, before + 1);
        QCOMPARE(bar.FilledWidth(), -1);
    }
};

std::unique_ptr<QObject> MakeProgressTest() {
    return std::make_unique<ProgressTest>();
}

#include "CPercentProgressCtrlTest.moc"
