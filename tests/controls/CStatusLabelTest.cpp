#include <QFontMetrics>
#include <QPainter>
#include <QTest>
#include <QWidget>
#include <vector>

#include "CStatusLabel.h"
#include "ColorRef.h"
#include "ControlTests.h"
#include "StatusGradient.h"

namespace {

constexpr std::uint32_t kSilver = 0xC0C0C0;
constexpr std::uint32_t kLightGrey = 0xE6E6E6;

// The form's start-up settings.
void ConfigureLikeTheForm(CStatusLabel& label) {
    label.SetTextColor(kLightGrey, true);
    label.SetBackColor(kSilver, true);
    label.SetGradient(true);
    label.FitToText(true);
}

bool HasPixel(const QImage& image, const QColor& colour) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y) == colour) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

class StatusLabelTest : public QObject {
    Q_OBJECT

private slots:
    void GradientOfTheFormsLabel() {
        const std::vector<StatusGradient::Band> bands = StatusGradient::Bands(0, 480, kSilver);
        QCOMPARE(bands.size(), std::size_t{1 + 66 + 1});
        QCOMPARE(bands.front().x, 400);  // solid silver over the right sixth
        QCOMPARE(bands.front().width, 80);
        QCOMPARE(bands.front().colour, kSilver);
        for (std::size_t i = 1; i <= 66; ++i) {
            QCOMPARE(bands[i].width, 6);
            QCOMPARE(bands[i].x, 400 - 6 * static_cast<int>(i));
        }
        QCOMPARE(bands[1].colour, kSilver);     // 192 - 36*192/160000 = 192
        QCOMPARE(bands[33].colour, 0x919191u);  // l = 198: 192 - 47
        QCOMPARE(bands[66].colour, 0x040404u);  // l = 396: 192 - 188 = 4
        QCOMPARE(bands.back().x, 0);
        QCOMPARE(bands.back().width, 4);
        QCOMPARE(bands.back().colour, 0u);
    }

    void NarrowLabelsGetOnePixelStripes() {
        const std::vector<StatusGradient::Band> bands = StatusGradient::Bands(10, 153, kSilver);
        QCOMPARE(bands.front().x, 10 + 127);
        QCOMPARE(bands.size(), std::size_t{1 + 126 + 1});
        QCOMPARE(bands[1].width, 1);
        QCOMPARE(bands.back().width, 1);
        QCOMPARE(StatusGradient::Bands(0, 154, kSilver)[1].width, 2);
        // Too narrow for any stripe: only what has a width is filled.
        QCOMPARE(StatusGradient::Bands(0, 1, kSilver).size(), std::size_t{1});
        QVERIFY(StatusGradient::Bands(0, 0, kSilver).empty());
    }

    void WideLabelsDoNotOverflow() {
        // The widest widget there can be: g * g is far beyond 32 bits.
        const std::vector<StatusGradient::Band> bands =
            StatusGradient::Bands(0, QWIDGETSIZE_MAX, 0xFFFFFF);
        QCOMPARE(bands.size(), std::size_t{1 + 64 + 1});
        QCOMPARE(bands[1].colour, 0xFFFFFFu);  // barely dimmed next to the solid part
        std::uint32_t previous = 0xFF;
        for (std::size_t i = 1; i + 1 < bands.size(); ++i) {
            const std::uint32_t red = bands[i].colour & 0xFF;
            QVERIFY(red <= previous);  // darker towards the left, never wrapping around
            previous = red;
        }
        QVERIFY(previous <= 8);
    }

    void WindowTextUntilTheFirstText() {
        CStatusLabel label;
        QCOMPARE(label.ShownText(), QStringLiteral("Current Status"));
        label.SetText("PFLASH Erasing...");
        QCOMPARE(label.ShownText(), QStringLiteral("PFLASH Erasing..."));
        label.SetText("");
        QCOMPARE(label.ShownText(), QStringLiteral("Current Status"));
        label.SetText(
            "Gr\xC3\xBC\xC3\x9F"
            "e");  // UTF-8
        QCOMPARE(label.ShownText(), QStringLiteral("Grüße"));
        label.SetText(
            "Gr\xFC\xDF"
            "e");  // Latin-1
        QCOMPARE(label.ShownText(), QStringLiteral("Grüße"));
    }

    void PaintsTextOverTheGradient() {
        CStatusLabel label;
        label.resize(480, 25);
        ConfigureLikeTheForm(label);
        label.SetText("WWWW");
        label.show();
        Settle();
        const QImage image = Grab(label);
        QCOMPARE(image.pixelColor(1, 20), Rgb(0, 0, 0));             // the black strip
        QCOMPARE(image.pixelColor(470, 20), FromColorRef(kSilver));  // the solid part
        QCOMPARE(image.pixelColor(205, 20), Rgb(0x91, 0x91, 0x91));  // l = 198
        QVERIFY(HasPixel(image, FromColorRef(kLightGrey)));

        label.SetTextColor(kLightGrey, false);
        QVERIFY(!HasPixel(Grab(label), FromColorRef(kLightGrey)));
    }

    void DoubleAmpersandShowsOne() {
        CStatusLabel label;
        label.resize(200, 25);
        label.SetTextColor(0x000000, true);
        label.SetBackColor(0xFFFFFF, true);
        label.SetText("Write && Verify");
        label.show();
        Settle();

        QImage expected(label.size(), QImage::Format_RGB32);
        expected.fill(Qt::white);
        QPainter p(&expected);
        p.setFont(label.font());
        p.setPen(Qt::black);
        p.drawText(QRect(2, 2, 196, 21), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   QStringLiteral("Write & Verify"));
        p.end();
        QCOMPARE(Grab(label), expected);
    }

    void FitToTextGrowsThePaintedRectangle() {
        CStatusLabel label;
        label.resize(20, 4);
        label.FitToText(true);
        const QFontMetrics metrics(label.font());
        const QRect fixed = label.PaintRect();
        QCOMPARE(fixed.height(), metrics.height());
        // "Current Status": 14 characters at the width of "A".
        QCOMPARE(fixed.width(), 14 * metrics.horizontalAdvance(QLatin1Char('A')));
        label.resize(600, 30);
        QCOMPARE(label.PaintRect(), fixed);  // fixed once
    }
};

std::unique_ptr<QObject> MakeStatusLabelTest() {
    return std::make_unique<StatusLabelTest>();
}

#include "CStatusLabelTest.moc"
