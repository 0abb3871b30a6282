#include <QFontMetrics>
#include <QTest>

#include "CSectionLabel.h"
#include "ControlTests.h"

namespace {

using Alignment = SectionLabelGeometry::Alignment;

SectionLabelGeometry Horizontal(int width, int height, int captionWidth, Alignment alignment) {
    return SectionLabelGeometry::Compute(QRect(0, 0, width, height), QSize(captionWidth, 12),
                                         captionWidth > 0, alignment, false);
}

}  // namespace

class SectionLabelTest : public QObject {
    Q_OBJECT

private slots:
    void EmptyCaptionLineRows_data() {
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("firstRow");
        QTest::newRow("odd height") << 13 << 6;
        QTest::newRow("even height") << 12 << 5;
    }
    void EmptyCaptionLineRows() {
        QFETCH(int, height);
        QFETCH(int, firstRow);
        const SectionLabelGeometry g = Horizontal(200, height, 0, Alignment::Left);
        QCOMPARE(g.firstBand, QRect(0, firstRow, 200, 2));
        QVERIFY(g.caption.isEmpty());
        QVERIFY(g.secondBand.isEmpty());
    }

    void CaptionCutsTheLine_data() {
        QTest::addColumn<int>("alignment");
        QTest::addColumn<int>("captionWidth");
        QTest::addColumn<QRect>("caption");
        QTest::addColumn<QRect>("first");
        QTest::addColumn<QRect>("second");
        QTest::newRow("left") << int(Alignment::Left) << 50 << QRect(0, 1, 50, 12)
                              << QRect(56, 6, 144, 2) << QRect();
        QTest::newRow("right") << int(Alignment::Right) << 50 << QRect(150, 1, 50, 12)
                               << QRect(0, 6, 144, 2) << QRect();
        QTest::newRow("centred") << int(Alignment::Centre) << 50 << QRect(76, 1, 50, 12)
                                 << QRect(0, 6, 69, 2) << QRect(131, 6, 69, 2);
        QTest::newRow("left, no room")
            << int(Alignment::Left) << 194 << QRect(0, 1, 194, 12) << QRect() << QRect();
        QTest::newRow("centred, too wide")
            << int(Alignment::Centre) << 300 << QRect(-50, 1, 300, 12) << QRect() << QRect();
    }
    void CaptionCutsTheLine() {
        QFETCH(int, alignment);
        QFETCH(int, captionWidth);
        QFETCH(QRect, caption);
        QFETCH(QRect, first);
        QFETCH(QRect, second);
        const SectionLabelGeometry g =
            Horizontal(200, 13, captionWidth, static_cast<Alignment>(alignment));
        QCOMPARE(g.caption, caption);
        QCOMPARE(g.firstBand, first);
        QCOMPARE(g.secondBand, second);
    }

    void VerticalCaption() {
        // 13 wide, 100 high; the caption stands 12 wide and 40 high on the screen.
        const SectionLabelGeometry g = SectionLabelGeometry::Compute(
            QRect(0, 0, 13, 100), QSize(12, 40), true, Alignment::Left, true);
        QCOMPARE(g.caption, QRect(1, 0, 12, 40));
        QCOMPARE(g.firstBand, QRect(6, 46, 2, 54));
    }

    void PaintsAnEtchedLine() {
        CSectionLabel label;
        label.resize(200, 13);
        label.show();
        Settle();
        const QPalette palette = label.palette();
        const QImage image = Grab(label);
        QCOMPARE(image.pixelColor(20, 5).rgb(), palette.color(QPalette::Button).rgb());
        QCOMPARE(image.pixelColor(20, 6).rgb(), palette.color(QPalette::Dark).rgb());
        QCOMPARE(image.pixelColor(20, 7).rgb(), palette.color(QPalette::Light).rgb());
        QCOMPARE(image.pixelColor(20, 8).rgb(), palette.color(QPalette::Button).rgb());
        QCOMPARE(image.pixelColor(199, 6).rgb(),
                 palette.color(QPalette::Light).rgb());  // right end
    }

    void NewCaptionShowsAtOnce() {
        CSectionLabel label(QStringLiteral("Message Window"));
        label.resize(300, 13);
        label.show();
        Settle();
        label.SetText(QStringLiteral("Buffer Window"));
        QCOMPARE(label.Text(), QStringLiteral("Buffer Window"));
        const int w = QFontMetrics(label.font()).horizontalAdvance(QStringLiteral("Buffer Window"));
        QCOMPARE(label.Geometry().firstBand.left(), w + 6);
        const QImage image = Grab(label);
        const QPalette palette = label.palette();
        QCOMPARE(image.pixelColor(w + 6, 6).rgb(), palette.color(QPalette::Dark).rgb());
        QCOMPARE(image.pixelColor(w + 4, 6).rgb(), palette.color(QPalette::Button).rgb());
        bool ink = false;
        for (int x = 0; x < w && !ink; ++x) {
            for (int y = 0; y < 13 && !ink; ++y) {
                ink = image.pixelColor(x, y).rgb() != palette.color(QPalette::Button).rgb();
            }
        }
        QVERIFY(ink);
    }

    void AmpersandsAreMnemonics() {
        CSectionLabel label(QStringLiteral("Target Write && Verify"));
        const QFontMetrics metrics(label.font());
        QCOMPARE(label.Geometry().caption.width(),
                 metrics.horizontalAdvance(QStringLiteral("Target Write & Verify")));
    }
};

std::unique_ptr<QObject> MakeSectionLabelTest() {
    return std::make_unique<SectionLabelTest>();
}

#include "CSectionLabelTest.moc"
