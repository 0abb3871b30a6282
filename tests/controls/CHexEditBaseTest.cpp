#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <cstdint>
#include <vector>

#include "CHexEditBase.h"
#include "ControlTests.h"

namespace {

// Word k holds the value 0x1000 + k, as a region's word buffer would.
std::vector<std::uint8_t> CountingWords(std::uint32_t words) {
    std::vector<std::uint8_t> bytes;
    for (std::uint32_t k = 0; k < words; ++k) {
        bytes.push_back(static_cast<std::uint8_t>((0x1000 + k) & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>((0x1000 + k) >> 8));
    }
    return bytes;
}

// The form's configuration, with a fixed row width so that no test depends on the font.
void ConfigureLikeTheForm(CHexEditBase& hex, std::uint32_t bytesPerRow) {
    hex.SetAddressDigits(4, false);
    hex.ShowAddress(true, false);
    hex.ShowAscii(false, false);
    hex.SetBytesPerRow(bytesPerRow, false, false);
}

void Wheel(CHexEditBase& hex, int delta) {
    const QPointF pos(10, 10);
    QWheelEvent event(pos, hex.viewport()->mapToGlobal(pos), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(hex.viewport(), &event);
}

void Drag(CHexEditBase& hex, QPoint from, QPoint to) {
    QTest::mousePress(hex.viewport(), Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(hex.viewport(), to);
    QTest::mouseRelease(hex.viewport(), Qt::LeftButton, Qt::NoModifier, to);
}

}  // namespace

class HexViewTest : public QObject {
    Q_OBJECT

private:
    std::vector<std::uint8_t> flash_ = CountingWords(0x8000);  // a 64 KiB region

    void ShowForm(CHexEditBase& hex) {
        ConfigureLikeTheForm(hex, 18);
        hex.SetData(flash_.data(), static_cast<std::uint32_t>(flash_.size()), true, 0);
        hex.resize(450, 200);  // room for a row of 18 bytes: no horizontal bar
        hex.show();
        Settle();
    }

private slots:
    void RowsShowAddressesAndWords() {
        CHexEditBase hex;
        ConfigureLikeTheForm(hex, 8);
        const std::vector<std::uint8_t> bytes = CountingWords(12);
        hex.SetData(bytes.data(), 24, true, 0x1000);
        hex.resize(400, 200);
        hex.show();
        Settle();
        const HexLayout& l = hex.Layout();
        const int rowY = l.lineHeight / 2;
        // From the first word of row 0 to the last word of row 2.
        Drag(hex, QPoint(l.hexX + 1, rowY),
             QPoint(l.hexX + l.wordTextWidth - 1, 2 * l.lineHeight + rowY));
        QCOMPARE(hex.SelectedText(), QStringLiteral("1000 1000 1001 1002 1003\n"
                                                    "1004 1004 1005 1006 1007\n"
                                                    "1008 1008 1009 100A 100B"));
        hex.ShowAscii(true, true);
        hex.ShowAddress(false, true);
        QCOMPARE(hex.SelectedText().section(QLatin1Char('\n'), 0, 0),
                 QStringLiteral("1000 1001 1002 1003  ........"));
    }

    void CopyPutsTheSelectionOnTheClipboard() {
        CHexEditBase hex;
        ShowForm(hex);
        const HexLayout& l = hex.Layout();
        Drag(hex, QPoint(l.hexX + 1, 2), QPoint(l.hexX + 5 * l.charWidth + 1, 2));
        QApplication::clipboard()->clear();
        QTest::keyClick(&hex, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("0000 1000 1001"));
        // A click without a drag drops the selection.
        QTest::mouseClick(hex.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(l.hexX + 1, 2));
        QVERIFY(!hex.HasSelection());
    }

    void PaintsTheColumnColours() {
        CHexEditBase hex;
        ConfigureLikeTheForm(hex, 4);
        hex.setFrameShape(QFrame::NoFrame);
        hex.resize(300, 100);
        hex.show();
        Settle();
        QCOMPARE(Grab(hex).pixelColor(50, 50), Rgb(210, 210, 210));  // no data: background only

        const std::vector<std::uint8_t> bytes = CountingWords(2);
        hex.SetData(bytes.data(), 4, true, 0);
        const HexLayout& l = hex.Layout();
        const QImage image = Grab(hex);
        const int below = l.lineHeight + 5;  // below the only row: column fills only
        QCOMPARE(image.pixelColor(1, below), Rgb(255, 255, 0));
        QCOMPARE(image.pixelColor(l.addrWidth - 3, below), Rgb(210, 210, 210));  // the gap
        QCOMPARE(image.pixelColor(l.hexX + 1, below), Rgb(180, 210, 190));
        QCOMPARE(image.pixelColor(l.contentWidth + 2, below), Rgb(210, 210, 210));
        // Address text in red and word text in blue on the first row.
        QVERIFY(HasNearColour(image, QRect(0, 0, l.addrWidth, l.lineHeight), Rgb(255, 0, 0)));
        QVERIFY(
            HasNearColour(image, QRect(l.hexX, 0, l.wordTextWidth, l.lineHeight), Rgb(0, 0, 255)));
        QVERIFY(
            !HasNearColour(image, QRect(l.hexX, 0, l.wordTextWidth, l.lineHeight), Rgb(255, 0, 0)));

        hex.ShowAscii(true, true);
        const HexLayout& withChars = hex.Layout();
        QCOMPARE(Grab(hex).pixelColor(withChars.asciiX + 1, below), Rgb(0, 20, 0));
    }

    void VerticalBarCoversTheRowsThatDoNotFit() {
        CHexEditBase hex;
        ShowForm(hex);
        const HexLayout& l = hex.Layout();
        QCOMPARE(l.totalRows, 3641u);
        QCOMPARE(l.maxTopRow, l.totalRows - l.fullRows);
        const QScrollBar* bar = hex.verticalScrollBar();
        QVERIFY(bar->isVisible());
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), static_cast<int>(l.maxTopRow));
        QCOMPARE(bar->pageStep(), static_cast<int>(l.fullRows));

        // A page request on the bar scrolls by fullRows rows.
        hex.verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(hex.TopRow(), l.fullRows);
        hex.verticalScrollBar()->setValue(100000);
        QCOMPARE(hex.TopRow(), l.maxTopRow);

        // Rows that all fit: no bar.
        hex.SetData(flash_.data(), 18 * 3, true, 0);
        Settle();
        QVERIFY(!hex.verticalScrollBar()->isVisible());
        QCOMPARE(hex.TopRow(), 0u);
    }

    void HorizontalBarScrollsByPixels() {
        CHexEditBase hex;
        ShowForm(hex);
        hex.resize(150, 200);
        Settle();
        const HexLayout& l = hex.Layout();
        QVERIFY(l.maxHorzOffset > 0);
        const QScrollBar* bar = hex.horizontalScrollBar();
        QVERIFY(bar->isVisible());
        QCOMPARE(bar->maximum(), static_cast<int>(l.maxHorzOffset));
        QCOMPARE(bar->pageStep(), l.clientWidth);
        hex.horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(hex.HorzOffset(), static_cast<std::uint32_t>(l.charWidth));
        hex.SetHorzOffset(1u << 30, true);
        QCOMPARE(hex.HorzOffset(), l.maxHorzOffset);
    }

    void EndShowsTheLastRowAndHomeTheFirst() {
        CHexEditBase hex;
        ShowForm(hex);
        const HexLayout& l = hex.Layout();
        QTest::keyClick(&hex, Qt::Key_End);
        QCOMPARE(hex.Caret(), 0xFFFFu);
        QVERIFY(!hex.CaretOnHighDigit());
        QCOMPARE(hex.TopRow() + l.fullRows - 1, 3640u);  // the last row is fully in view
        QCOMPARE(hex.TopRow(), hex.Layout().maxTopRow);
        QTest::keyClick(&hex, Qt::Key_Home);
        QCOMPARE(hex.Caret(), 0u);
        QVERIFY(hex.CaretOnHighDigit());
        QCOMPARE(hex.TopRow(), 0u);
    }

    void KeysStepTheCaret_data() {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<int>("caret");
        QTest::addColumn<bool>("high");
        QTest::addColumn<int>("topRow");
        using Keys = QList<int>;
        QTest::newRow("right: low digit") << Keys{Qt::Key_Right} << 0 << false << 0;
        QTest::newRow("right twice: next byte")
            << Keys{Qt::Key_Right, Qt::Key_Right} << 1 << true << 0;
        QTest::newRow("left back to the low digit")
            << Keys{Qt::Key_Right, Qt::Key_Right, Qt::Key_Left} << 0 << false << 0;
        QTest::newRow("left at the start") << Keys{Qt::Key_Left, Qt::Key_Left} << 0 << true << 0;
        QTest::newRow("up at the top") << Keys{Qt::Key_Up, Qt::Key_PageUp} << 0 << true << 0;
        QTest::newRow("down") << Keys{Qt::Key_Down, Qt::Key_Down} << 36 << true << 0;
    }
    void KeysStepTheCaret() {
        QFETCH(QList<int>, keys);
        QFETCH(int, caret);
        QFETCH(bool, high);
        QFETCH(int, topRow);
        CHexEditBase hex;
        ShowForm(hex);
        for (const int key : keys) {
            QTest::keyClick(&hex, static_cast<Qt::Key>(key));
        }
        QCOMPARE(hex.Caret(), static_cast<std::uint32_t>(caret));
        QCOMPARE(hex.CaretOnHighDigit(), high);
        QCOMPARE(hex.TopRow(), static_cast<std::uint32_t>(topRow));
    }

    void PageDownMovesByRowsInViewLessOne() {
        CHexEditBase hex;
        ShowForm(hex);
        const HexLayout& l = hex.Layout();
        QVERIFY(l.rowsInView == l.fullRows + 1);  // 200 pixels leave a partial row
        QTest::keyClick(&hex, Qt::Key_PageDown);
        QCOMPARE(hex.Caret(), (l.rowsInView - 1) * 18);
        QCOMPARE(hex.TopRow(), 1u);  // the row below the full rows is only partly visible
        QTest::keyClick(&hex, Qt::Key_PageDown);
        const std::uint32_t row = hex.Caret() / 18;
        QCOMPARE(hex.TopRow(), row - l.fullRows + 1);  // its row is the last full one
        QTest::keyClick(&hex, Qt::Key_Up);
        QCOMPARE(hex.TopRow(), row - l.fullRows + 1);  // still in view: no scroll
    }

    void DownScrollsOneRowAtATime() {
        CHexEditBase hex;
        ShowForm(hex);
        for (std::uint32_t press = 1; press <= 2 * hex.Layout().fullRows; ++press) {
            QTest::keyClick(&hex, Qt::Key_Down);
            QCOMPARE(hex.TopRow(),
                     press < hex.Layout().fullRows ? 0 : press - hex.Layout().fullRows + 1);
        }
    }

    void WheelScrollsWholeNotches_data() {
        QTest::addColumn<int>("delta");
        QTest::addColumn<int>("topRow");
        QTest::newRow("one notch up") << 120 << 9;
        QTest::newRow("two notches down") << -240 << 12;
        QTest::newRow("half a notch") << 60 << 10;
        QTest::newRow("almost a notch down") << -119 << 10;
        QTest::newRow("one and a half up") << 180 << 9;
        QTest::newRow("past the top") << 1200 << 0;
    }
    void WheelScrollsWholeNotches() {
        QFETCH(int, delta);
        QFETCH(int, topRow);
        CHexEditBase hex;
        ShowForm(hex);
        hex.SetTopRow(10, true);
        Wheel(hex, delta);
        QCOMPARE(hex.TopRow(), static_cast<std::uint32_t>(topRow));
        QCOMPARE(hex.verticalScrollBar()->value(), topRow);
    }

    void TabMovesTheFocus() {
        QWidget form;
        auto* layout = new QVBoxLayout(&form);
        auto* before = new QLineEdit(&form);
        auto* hex = new CHexEditBase(&form);
        auto* after = new QLineEdit(&form);
        layout->addWidget(before);
        layout->addWidget(hex);
        layout->addWidget(after);
        form.show();
        form.activateWindow();
        Settle();
        QVERIFY(form.isActiveWindow());
        hex->setFocus();
        QTest::keyClick(hex, Qt::Key_Tab);
        QVERIFY(after->hasFocus());
        hex->setFocus();
        QTest::keyClick(hex, Qt::Key_Tab, Qt::ShiftModifier);
        QVERIFY(before->hasFocus());
    }

    void OnlyFixedPitchFontsAreTaken() {
        CHexEditBase hex;
        ShowForm(hex);
        const int cell = hex.Layout().charWidth;
        QFont proportional(QStringLiteral("Liberation Sans"));
        proportional.setPixelSize(30);
        QVERIFY(!hex.SetFont(proportional, true));
        hex.setFont(proportional);  // as a parent's font would arrive
        QCOMPARE(hex.Layout().charWidth, cell);

        QFont wide(QStringLiteral("DejaVu Sans Mono"));
        wide.setPixelSize(30);
        QVERIFY(hex.SetFont(wide, true));
        QVERIFY(hex.Layout().charWidth > cell);
        // Whole-pixel cells: the text of a row is exactly as wide as the arithmetic says.
        const QFontMetricsF metrics(hex.Font());
        QCOMPARE(metrics.horizontalAdvance(QStringLiteral("1234 5678")),
                 9.0 * hex.Layout().charWidth);
    }

    void NewDataKeepsTheTopRowWithinTheLimit() {
        CHexEditBase hex;
        ShowForm(hex);
        hex.SetTopRow(100, true);
        hex.SetData(flash_.data(), 18 * 1000, true, 0);
        hex.Layout();
        QCOMPARE(hex.TopRow(), 100u);
        hex.SetData(flash_.data(), 18 * 50, true, 0);
        const HexLayout& l = hex.Layout();
        QCOMPARE(hex.TopRow(), l.maxTopRow);  // the last page
        QCOMPARE(l.maxTopRow, 50u - l.fullRows);
    }

    void EmptyViewIgnoresKeysAndBars() {
        CHexEditBase hex;
        ConfigureLikeTheForm(hex, 8);
        hex.resize(100, 100);  // narrower than the content: a horizontal bar
        hex.show();
        Settle();
        for (const Qt::Key key : {Qt::Key_End, Qt::Key_Down, Qt::Key_PageDown, Qt::Key_Right}) {
            QTest::keyClick(&hex, key);
        }
        QCOMPARE(hex.Caret(), 0u);
        QVERIFY(hex.CaretOnHighDigit());
        hex.horizontalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(hex.HorzOffset(), 0u);
        QCOMPARE(hex.horizontalScrollBar()->value(), 0);
    }

    void KeysBeforeTheFirstPaintAreSafe() {
        CHexEditBase hex;
        hex.SetData(flash_.data(), 64, false, 0);
        QTest::keyClick(&hex, Qt::Key_End);
        QCOMPARE(hex.Caret(), 63u);
    }
};

std::unique_ptr<QObject> MakeHexViewTest() {
    return std::make_unique<HexViewTest>();
}

#include "CHexEditBaseTest.moc"
