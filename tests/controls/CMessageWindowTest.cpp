#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <QTextBlock>

#include "CMessageWindow.h"
#include "ColorRef.h"
#include "ControlTests.h"

namespace {

QStringList Lines(const CMessageWindow& window) {
    return window.toPlainText().split(QLatin1Char('\n'));
}

QColor ColourOfLine(const CMessageWindow& window, int line) {
    const QTextBlock block = window.document()->findBlockByNumber(line);
    return block.begin().fragment().charFormat().foreground().color();
}

}  // namespace

class MessageWindowTest : public QObject {
    Q_OBJECT

private:
    CMessageWindow* ShownWindow(QWidget& parent) {
        auto* window = new CMessageWindow(&parent);
        window->resize(400, 80);
        parent.resize(400, 80);
        parent.show();
        Settle();
        return window;
    }

private slots:
    void KeepsTheNewestMessagesUpToTheLimit() {
        QWidget parent;
        CMessageWindow* window = ShownWindow(parent);
        window->SetMaxLines(200);
        for (int i = 0; i < 200; ++i) {
            window->AddMessage(QByteArray::number(i).constData(), 0x008000);
        }
        QCOMPARE(window->LineCount(), std::uint16_t{200});
        QCOMPARE(Lines(*window).front(), QStringLiteral("0"));  // nothing deleted yet
        QCOMPARE(Lines(*window).size(), 201);                   // and the empty last line

        window->AddMessage("200", 0x008000);
        QCOMPARE(window->LineCount(), std::uint16_t{200});
        QCOMPARE(Lines(*window).front(), QStringLiteral("1"));
        QCOMPARE(Lines(*window).at(199), QStringLiteral("200"));
        QCOMPARE(Lines(*window).size(), 201);
    }

    void DefaultLimitIsOneHundred() {
        QWidget parent;
        CMessageWindow* window = ShownWindow(parent);
        for (int i = 0; i < 150; ++i) {
            window->AddMessage(QByteArray::number(i).constData(), 0);
        }
        QCOMPARE(Lines(*window).front(), QStringLiteral("50"));
    }

    void EachLineInItsColour() {
        QWidget parent;
        CMessageWindow* window = ShownWindow(parent);
        window->AddMessage("Not connect to USB Programmer", 0x0000FF);
        window->AddMessage("Flash Writing is OK !!!", 0x008000);
        window->AddMessage("[Current SFile Info. in Serial EEPROM of USB POD]", 0xFF0000);
        QCOMPARE(ColourOfLine(*window, 0), Rgb(255, 0, 0));
        QCOMPARE(ColourOfLine(*window, 1), Rgb(0, 128, 0));
        QCOMPARE(ColourOfLine(*window, 2), Rgb(0, 0, 255));
    }

    void MessagesBeforeTheWindowExistsAreLost() {
        CMessageWindow window;
        window.AddMessage("lost", 0x0000FF);
        QCOMPARE(window.LineCount(), std::uint16_t{0});
        QVERIFY(window.toPlainText().isEmpty());
        window.show();
        Settle();
        window.AddMessage("kept", 0x0000FF);
        QCOMPARE(window.toPlainText(), QStringLiteral("kept\n"));
    }

    void EmbeddedLineBreakCountsOnce() {
        QWidget parent;
        CMessageWindow* window = ShownWindow(parent);
        window->SetMaxLines(2);
        window->AddMessage("a\r\nb", 0);
        window->AddMessage("c", 0);
        QCOMPARE(window->LineCount(), std::uint16_t{2});
        QCOMPARE(Lines(*window), (QStringList{"a", "b", "c", ""}));
        window->AddMessage("d", 0);  // the oldest line goes, not the oldest message
        QCOMPARE(Lines(*window), (QStringList{"b", "c", "d", ""}));
    }

    void NewestLineStaysInView() {
        QWidget parent;
        CMessageWindow* window = ShownWindow(parent);
        window->SetMaxLines(200);
        for (int i = 0; i < 60; ++i) {
            window->AddMessage(QByteArray("message ").append(QByteArray::number(i)).constData(), 0);
            const QTextBlock last = window->document()->findBlockByNumber(i);
            QTextCursor cursor(last);
            const QRect where = window->cursorRect(cursor);
            QVERIFY2(where.top() >= 0 && where.bottom() <= window->viewport()->height(),
                     qPrintable(QStringLiteral("message %1 out of view").arg(i)));
        }
    }

    void ReadOnlyButCopyable() {
        QWidget parent;
        CMessageWindow* window = ShownWindow(parent);
        window->AddMessage("Reading S File is OK !!!", 0x008000);
        window->setFocus();
        QTest::keyClicks(window, QStringLiteral("xyz"));
        QTest::keyClick(window, Qt::Key_Backspace);
        QTest::keyClick(window, Qt::Key_Delete);
        QCOMPARE(window->toPlainText(), QStringLiteral("Reading S File is OK !!!\n"));
        window->selectAll();
        window->copy();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("Reading S File is OK !!!\n"));
        window->AddMessage("next", 0);  // still accepted while read-only
        QCOMPARE(window->LineCount(), std::uint16_t{2});
    }
};

std::unique_ptr<QObject> MakeMessageWindowTest() {
    return std::make_unique<MessageWindowTest>();
}

#include "CMessageWindowTest.moc"
