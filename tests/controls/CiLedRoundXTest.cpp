#include <QTest>

#include "CiLedRoundX.h"
#include "ColorRef.h"
#include "ControlTests.h"

namespace {

// The form's two patterns: every LED is reset before an operation, and each step's LED is
// lit when the step ends, red-configured first when it failed.
void Reset(CiLedRoundX& led) {
    led.SetActiveColor(0x00FF00);
    led.SetInactiveColor(0x005500);
    led.SetActive(false);
    led.RepaintNow();
}

void StepDone(CiLedRoundX& led, bool failed) {
    if (failed) {
        led.SetActiveColor(0x0000FF);
        led.SetInactiveColor(0x000080);
    }
    led.SetActive(true);
    led.RepaintNow();
}

QColor Centre(CiLedRoundX& led) {
    return Grab(led).pixelColor(led.width() / 2, led.height() / 2);
}

}  // namespace

class LedTest : public QObject {
    Q_OBJECT

private slots:
    void LampColour_data() {
        QTest::addColumn<QString>("steps");  // r = reset, s = step succeeded, f = step failed
        QTest::addColumn<QColor>("colour");
        QTest::newRow("as created") << "" << Rgb(0, 0x55, 0);
        QTest::newRow("reset") << "r" << Rgb(0, 0x55, 0);
        QTest::newRow("success") << "rs" << Rgb(0, 0xFF, 0);
        QTest::newRow("failure") << "rf" << Rgb(0xFF, 0, 0);
        QTest::newRow("reset after a failure") << "rfr" << Rgb(0, 0x55, 0);
        QTest::newRow("success after a failure and a reset") << "rfrs" << Rgb(0, 0xFF, 0);
    }
    void LampColour() {
        QFETCH(QString, steps);
        QFETCH(QColor, colour);
        CiLedRoundX led;
        led.resize(30, 30);
        led.show();
        Settle();
        for (const QChar step : steps) {
            if (step == QLatin1Char('r')) {
                Reset(led);
            } else {
                StepDone(led, step == QLatin1Char('f'));
            }
        }
        QCOMPARE(Centre(led), colour);
    }

    void FailedLedTurnsDarkRedWhenSwitchedOff() {
        CiLedRoundX led;
        led.resize(30, 30);
        Reset(led);
        StepDone(led, true);
        led.SetActive(false);
        QCOMPARE(Centre(led), FromColorRef(0x000080));
    }

    void BevelAndBackgroundAroundTheLamp() {
        CiLedRoundX led;
        led.resize(30, 30);
        const QImage image = Grab(led);
        QCOMPARE(image.pixelColor(0, 0), led.palette().color(QPalette::Button));
        // The rim differs from the lamp colour on both sides (raised bevel).
        QVERIFY(image.pixelColor(15, 2) != FromColorRef(0x005500));
        QVERIFY(image.pixelColor(15, 2) != image.pixelColor(15, 27));
    }
};

std::unique_ptr<QObject> MakeLedTest() {
    return std::make_unique<LedTest>();
}

#include "CiLedRoundXTest.moc"
