#pragma once

#include <QAccessibleWidget>
#include <vector>

class CHexEditBase;

// The hex view as a screen reader sees it: read-only, multi-line text made of the rows in
// view, one line per row, its columns separated by one blank ("0000 FFFF 1234 ..."). The
// text follows scrolling; nothing of it can be selected or changed through the interface.
class HexViewAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit HexViewAccessible(CHexEditBase* view);

    void* interface_cast(QAccessible::InterfaceType type) override;
    QAccessible::State state() const override;

    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint& point) const override;
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    void selection(int, int* startOffset, int* endOffset) const override;
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* startOffset, int* endOffset) const override;

    using QAccessibleWidget::text;

private:
    CHexEditBase* View() const;
    QString AllText() const;
};
