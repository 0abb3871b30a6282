#pragma once

#include <QAbstractScrollArea>
#include <QFont>
#include <cstdint>
#include <vector>

#include "HexLayout.h"
#include "HexSelection.h"

class QPainter;

// Read-only hex display of a byte buffer it owns: rows of little-endian 16-bit words with an
// optional word-address column and an optional character column. Scrolls vertically by rows
// and horizontally by pixels. Vertical bar: range 0..maxTopRow with a page of fullRows rows,
// so its value is the top row itself. Horizontal bar: range 0..maxHorzOffset pixels with a
// page of the client width. The keyboard position (caret) is never drawn; it only steers
// scrolling. A dotted frame marks the keyboard focus. Text can be selected with the mouse in
// whole words and copied, nothing edited.
class CHexEditBase : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit CHexEditBase(QWidget* parent = nullptr);

    // Copies length bytes (nothing when data is null); base is the word address of word 0.
    // Keeps the caret and scroll positions; the next layout clamps them.
    void SetData(const std::uint8_t* data, std::uint32_t length, bool redraw,
                 std::uint32_t baseAddress = 0);
    // count is bounded to 340; an odd count shows as the next even one.
    void SetBytesPerRow(std::uint32_t count, bool autoFit, bool redraw);
    void ShowAddress(bool show, bool redraw);
    void ShowAscii(bool show, bool redraw);
    // Takes the low 8 bits, bounded to 31 digits.
    void SetAddressDigits(std::uint32_t digits, bool redraw);
    // Only a fixed-pitch font is taken (false otherwise; the current one stays). A font
    // handed to the widget through QWidget::setFont or its parent passes the same rule.
    bool SetFont(const QFont& font, bool redraw);
    const QFont& Font() const { return font_; }

    void SetTopRow(std::uint32_t row, bool redraw);
    void SetHorzOffset(std::uint32_t offset, bool redraw);
    void ScrollRows(std::int32_t delta, bool redraw);
    void MoveCaret(std::int32_t delta, bool highDigit);
    void MakeVisible(std::uint32_t position, bool redraw);

    // The text of one row in view, a part per column shown (a hidden column's part is
    // empty).
    struct VisibleRow {
        QString address;
        QString words;
        QString chars;
    };
    // The rows that intersect the view, from the top; none without data.
    std::vector<VisibleRow> VisibleRows();

    bool HasSelection() const { return selection_.Active(); }
    // The selected words as shown, one line per row, with the address of the row's first
    // selected word and their characters when those columns are shown.
    QString SelectedText();
    void Copy();

    // The geometry of the current font, size and settings (recomputed first when stale).
    const HexLayout& Layout();
    std::uint32_t TopRow() const { return topRow_; }
    std::uint32_t HorzOffset() const { return horzOffset_; }
    std::uint32_t Caret() const { return caret_; }
    bool CaretOnHighDigit() const { return caretOnHighDigit_; }
    std::uint32_t Length() const { return static_cast<std::uint32_t>(data_.size()); }
    std::uint32_t BaseAddress() const { return baseAddress_; }
    std::uint32_t AddressDigits() const { return addressDigits_; }
    bool AddressShown() const { return showAddress_; }
    bool AsciiShown() const { return showAscii_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void MarkDirty(bool redraw);
    void EnsureLayout();
    void ComputeLayout();
    void PostUpdateScrollBars();
    void UpdateScrollBars();
    void PaintColumns(QPainter& p) const;
    // Where the selection lies on a row of the word and the character column, in pixels from
    // the column's left; false when it does not touch the row.
    bool WordSelection(std::uint32_t row, int& x, int& width) const;
    bool CharSelection(std::uint32_t row, int& x, int& width) const;

    HexLayout layout_;
    std::vector<std::uint8_t> data_;  // empty = no data
    std::uint32_t bytesPerRowSetting_ = 16;
    std::uint32_t addressDigits_ = 8;
    std::uint32_t caret_ = 0;
    std::uint32_t topRow_ = 0;
    std::uint32_t horzOffset_ = 0;
    std::uint32_t baseAddress_ = 0;
    int cellWidth_ = 1;  // whole-pixel advance of the digit 0 in font_
    int ascent_ = 0;
    bool layoutDirty_ = true;
    bool caretOnHighDigit_ = true;
    bool autoFit_ = false;
    bool showAddress_ = false;
    bool showAscii_ = false;
    bool syncingBars_ = false;  // our own writes to the bars are not user scrolls
    bool barUpdatePending_ = false;
    bool selecting_ = false;
    HexSelection selection_;
    QFont font_;
};
