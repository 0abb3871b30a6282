#pragma once

#include <QPlainTextEdit>
#include <cstdint>

// The program's log: one coloured line per message, the newest always in view, at most a
// limit of messages kept. The user can select and copy text but not change it. Messages
// added before the widget has its window (before it or its window is first shown) are lost.
class CMessageWindow : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit CMessageWindow(QWidget* parent = nullptr);

    // Appends the text and a line break in the colour (0x00BBGGRR). The count is of calls:
    // a text with its own line breaks counts once, though the oldest-line removal then takes
    // only its first line.
    void AddMessage(const char* text, std::uint32_t colour);
    void SetMaxLines(std::uint16_t lines);
    // Removes lines first..end-1 with their line breaks.
    void DeleteLines(std::int32_t first, std::int32_t end);
    void RepaintNow();

    std::uint16_t MaxLines() const { return maxLines_; }
    std::uint16_t LineCount() const { return lineCount_; }

private:
    void ScrollToEnd();

    std::uint16_t maxLines_ = 100;
    std::uint16_t lineCount_ = 0;
};
