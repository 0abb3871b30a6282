#include "CMessageWindow.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <algorithm>

#include "ColorRef.h"
#include "NarrowText.h"

CMessageWindow::CMessageWindow(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setUndoRedoEnabled(false);
    // The log scrolls itself; the wheel and the keyboard still move through it.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void CMessageWindow::AddMessage(const char* text, std::uint32_t colour) {
    if (!testAttribute(Qt::WA_WState_Created)) {
        return;
    }
    const std::uint16_t before = lineCount_;
    ++lineCount_;
    if (before >= maxLines_) {
        DeleteLines(0, 1);
        --lineCount_;
    }

    // A line break of any convention ends a line; "\r\n" must not leave an empty one.
    QString line = FromNarrowText(text);
    line.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    line.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    line += QLatin1Char('\n');

    // A cursor of our own leaves the user's selection alone.
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat format;
    format.setForeground(FromColorRef(colour));
    cursor.insertText(line, format);
    ScrollToEnd();
}

void CMessageWindow::SetMaxLines(std::uint16_t lines) {
    maxLines_ = lines;
}

void CMessageWindow::DeleteLines(std::int32_t first, std::int32_t end) {
    if (!testAttribute(Qt::WA_WState_Created)) {
        return;
    }
    QTextDocument* doc = document();
    const auto positionOf = [doc](std::int32_t line) {
        const QTextBlock block = doc->findBlockByNumber(std::max(line, 0));
        return block.isValid() ? block.position() : doc->characterCount() - 1;
    };
    const int from = positionOf(first);
    const int to = positionOf(end);
    if (from >= to) {
        return;
    }
    QTextCursor cursor(doc);
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

void CMessageWindow::RepaintNow() {
    viewport()->repaint();
}

void CMessageWindow::ScrollToEnd() {
    if (viewport()->rect().isEmpty()) {
        return;
    }
    QScrollBar* bar = verticalScrollBar();
    bar->setValue(bar->maximum());
}
