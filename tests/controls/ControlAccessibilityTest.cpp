// What a screen reader learns of each self-painted control, through the toolkit's
// accessibility interfaces, and the events it is sent when what the control shows changes.
#include <QAccessible>
#include <QTest>

#include "AccessibleEvents.h"
#include "CHexEditBase.h"
#include "CPercentProgressCtrl.h"
#include "CSectionLabel.h"
#include "CStatusLabel.h"
#include "CiLedRoundX.h"
#include "ControlTests.h"

class AccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    // A label named by the text it shows, "&&" shown as one ampersand; a new text is spoken.
    void theStatusLineIsALabelNamedByItsText() {
        AccessibleEvents events;
        CStatusLabel label;
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&label);
        QVERIFY(iface != nullptr);
        QCOMPARE(iface->role(), QAccessible::StaticText);
        QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("Current Status"));
        label.SetText("Flash Write && Verify Completed - 1.25 sec");
        QCOMPARE(iface->text(QAccessible::Name),
                 QStringLiteral("Flash Write & Verify Completed - 1.25 sec"));
        label.SetText("Flash Write && Verify Completed - 1.25 sec");
        label.SetText("");
        QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("Current Status"));
        QCOMPARE(events.Of(&label, QAccessible::NameChanged).size(), std::size_t{2});

        CSectionLabel caption(QStringLiteral("Message Window"));
        QAccessibleInterface* captionIface = QAccessible::queryAccessibleInterface(&caption);
        QCOMPARE(captionIface->role(), QAccessible::StaticText);
        QCOMPARE(captionIface->text(QAccessible::Name), QStringLiteral("Message Window"));
    }

    // A progress bar whose value is the percentage it shows; each new percentage is spoken,
    // a position that leaves it unchanged is not.
    void theProgressBarsValueIsItsPercentage() {
        AccessibleEvents events;
        CPercentProgressCtrl bar;
        bar.resize(300, 20);
        bar.show();
        Settle();
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&bar);
        QVERIFY(iface != nullptr);
        QCOMPARE(iface->role(), QAccessible::ProgressBar);
        QAccessibleValueInterface* value = iface->valueInterface();
        QVERIFY(value != nullptr);
        QCOMPARE(value->minimumValue().toInt(), 0);
        QCOMPARE(value->maximumValue().toInt(), 100);
        bar.SetRange(0, 3);
        bar.SetPos(1);
        QCOMPARE(value->currentValue().toInt(), 33);
        QCOMPARE(iface->text(QAccessible::Value), QStringLiteral("33%"));
        bar.SetPos(1);
        bar.SetPos(3);
        const auto changes = events.Of(&bar, QAccessible::ValueChanged);
        QCOMPARE(changes.size(), std::size_t{2});
        QCOMPARE(changes[0].value.toInt(), 33);
        QCOMPARE(changes[1].value.toInt(), 100);
    }

    // Each lamp says whether it is off, green or red, and tells when that changes.
    void aLampSaysOffGreenOrRed() {
        AccessibleEvents events;
        CiLedRoundX lamp;
        lamp.setAccessibleName(QStringLiteral("Step 1 lamp"));
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&lamp);
        QVERIFY(iface != nullptr);
        QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("Step 1 lamp"));
        QCOMPARE(iface->text(QAccessible::Description), QStringLiteral("off"));
        lamp.SetActive(true);
        QCOMPARE(iface->text(QAccessible::Description), QStringLiteral("green"));
        lamp.SetActiveColor(0x0000FF);  // the failed step's colours
        lamp.SetInactiveColor(0x000080);
        QCOMPARE(iface->text(QAccessible::Description), QStringLiteral("red"));
        lamp.SetActive(false);
        QCOMPARE(iface->text(QAccessible::Description), QStringLiteral("off"));
        lamp.SetActive(false);
        QCOMPARE(events.Of(&lamp, QAccessible::DescriptionChanged).size(), std::size_t{3});
    }

    // Read-only text: the rows in view, one line each, that follows scrolling.
    void theHexViewGivesItsRowsInViewAsText() {
        CHexEditBase view;
        view.SetAddressDigits(4, false);
        view.ShowAddress(true, false);
        view.SetBytesPerRow(4, false, false);
        std::vector<std::uint8_t> bytes(64);
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = static_cast<std::uint8_t>(i);
        }
        view.SetData(bytes.data(), static_cast<std::uint32_t>(bytes.size()), true, 0x1000);
        view.resize(200, view.Layout().lineHeight * 3 + 2 * view.frameWidth());
        view.show();
        Settle();
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&view);
        QVERIFY(iface != nullptr);
        QCOMPARE(iface->role(), QAccessible::EditableText);
        QVERIFY(iface->state().readOnly);
        QAccessibleTextInterface* text = iface->textInterface();
        QVERIFY(text != nullptr);
        const QString shown = text->text(0, text->characterCount());
        QCOMPARE(shown, QStringLiteral("1000 0100 0302\n1002 0504 0706\n1004 0908 0B0A"));
        // The first word's first digit is drawn where the interface says.
        const int offset = static_cast<int>(shown.indexOf(QStringLiteral("0302")));
        const QRect cell = text->characterRect(offset);
        QVERIFY(cell.isValid());
        QCOMPARE(text->offsetAtPoint(cell.center()), offset);

        view.ScrollRows(2, true);
        QVERIFY(text->text(0, text->characterCount()).startsWith(QStringLiteral("1004 0908")));
        view.SetData(nullptr, 0, true);
        QCOMPARE(text->characterCount(), 0);
    }
};

std::unique_ptr<QObject> MakeAccessibilityTest() {
    return std::make_unique<AccessibilityTest>();
}

#include "ControlAccessibilityTest.moc"
