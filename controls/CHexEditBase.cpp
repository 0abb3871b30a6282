#include "CHexEditBase.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>

#include "ControlAccessibility.h"
#include "FocusFrame.h"
#include "HexRowText.h"

namespace {

const QColor kControlBackground(210, 210, 210);
const QColor kAddressBackground(255, 255, 0);
const QColor kAddressText(255, 0, 0);
const QColor kWordBackground(180, 210, 190);
const QColor kWordText(0, 0, 255);
const QColor kCharBackground(0, 20, 0);
const QColor kCharText(0, 255, 0);

// Home and End move far enough to reach either end of any buffer below 128 MiB.
constexpr std::int32_t kHomeDelta = -134217728;
constexpr std::int32_t kEndDelta = 134217727;

QFont DefaultFixedFont() {
    for (const char* family : {"Liberation Mono", "DejaVu Sans Mono"}) {
        QFont font(QString::fromLatin1(family));
        font.setPixelSize(13);
        const QFontInfo info(font);
        if (info.family() == font.family() && info.fixedPitch()) {
            return font;
        }
    }
    return QFontDatabase::systemFont(QFontDatabase::FixedFont);
}

// The layout counts in whole character cells, but scalable fonts advance by fractions of a
// pixel; letter spacing rounds every advance to the cell so that text and arithmetic agree.
QFont WithWholeCells(QFont font, int& cellWidth) {
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0);
    const qreal advance = QFontMetricsF(font).horizontalAdvance(QLatin1Char('0'));
    cellWidth = std::max(1, qRound(advance));
    font.setLetterSpacing(QFont::AbsoluteSpacing, cellWidth - advance);
    return font;
}

int ToBarValue(std::uint64_t value) {
    return static_cast<int>(std::min<std::uint64_t>(value, INT_MAX));
}

std::int32_t ToDelta(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

template <std::size_t N>
QString Latin1(const std::array<char, N>& text, std::size_t length) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(length));
}

// Paints the hex view's columns row by row: each column's background over the full height,
// then the text of every painted row, and the selected part of a row inverted.
struct ColumnPainter {
    QPainter& p;
    std::uint32_t firstRow;
    std::uint32_t lastRow;  // inclusive
    int lineHeight;
    int ascent;
    int height;

    // rowText(row) gives a row's text; selected(row, x, width) its selected span in pixels
    // from the column's left edge, or false.
    template <typename RowText, typename Selected>
    void Paint(int left, int width, const QColor& background, const QColor& foreground,
               RowText rowText, Selected selected, const QColor& selectedBackground,
               const QColor& selectedForeground) {
        const QRect column(left, 0, width, height);
        p.fillRect(column, background);
        p.setClipRect(column);
        int y = 0;
        for (std::uint32_t row = firstRow;; ++row, y += lineHeight) {
            const QString line = rowText(row);
            const QPoint origin(left, y + ascent);
            p.setPen(foreground);
            p.drawText(origin, line);
            int spanX = 0;
            int spanWidth = 0;
            if (selected(row, spanX, spanWidth)) {
                const QRect span(left + spanX, y, spanWidth, lineHeight);
                p.fillRect(span, selectedBackground);
                p.save();
                p.setClipRect(span, Qt::IntersectClip);
                p.setPen(selectedForeground);
                p.drawText(origin, line);
                p.restore();
            }
            if (row == lastRow) {
                break;
            }
        }
        p.setClipping(false);
    }
};

}  // namespace

CHexEditBase::CHexEditBase(QWidget* parent) : QAbstractScrollArea(parent) {
    ControlAccessibility::Install();
    font_ = WithWholeCells(DefaultFixedFont(), cellWidth_);
    setFocusPolicy(Qt::StrongFocus);
    // Every paint covers the whole viewport.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setCursor(Qt::IBeamCursor);
    verticalScrollBar()->setRange(0, 0);
    horizontalScrollBar()->setRange(0, 0);
}

void CHexEditBase::SetData(const std::uint8_t* data, std::uint32_t length, bool redraw,
                           std::uint32_t baseAddress) {
    baseAddress_ = baseAddress;
    if (data != nullptr) {
        data_.assign(data, data + length);
    } else {
        data_.clear();
    }
    selection_.Clear();
    selecting_ = false;
    MarkDirty(redraw);
}

void CHexEditBase::SetBytesPerRow(std::uint32_t count, bool autoFit, bool redraw) {
    count = std::min(count, HexLayout::kMaxBytesPerRow);
    if (autoFit == autoFit_ && count == bytesPerRowSetting_) {
        return;
    }
    autoFit_ = autoFit;
    bytesPerRowSetting_ = count;
    MarkDirty(redraw);
}

void CHexEditBase::ShowAddress(bool show, bool redraw) {
    if (show != showAddress_) {
        showAddress_ = show;
        MarkDirty(redraw);
    }
}

void CHexEditBase::ShowAscii(bool show, bool redraw) {
    if (show != showAscii_) {
        showAscii_ = show;
        MarkDirty(redraw);
    }
}

void CHexEditBase::SetAddressDigits(std::uint32_t digits, bool redraw) {
    addressDigits_ = std::min(digits & 0xFF, HexLayout::kMaxAddressDigits);
    MarkDirty(redraw);
}

bool CHexEditBase::SetFont(const QFont& font, bool redraw) {
    const bool fixed = QFontInfo(font).fixedPitch();
    if (fixed) {
        font_ = WithWholeCells(font, cellWidth_);
    }
    MarkDirty(redraw);
    return fixed;
}

void CHexEditBase::SetTopRow(std::uint32_t row, bool redraw) {
    EnsureLayout();
    row = std::min(row, layout_.maxTopRow);
    syncingBars_ = true;
    verticalScrollBar()->setValue(ToBarValue(row));
    syncingBars_ = false;
    if (row != topRow_ && redraw) {
        viewport()->update();
    }
    topRow_ = row;
}

void CHexEditBase::SetHorzOffset(std::uint32_t offset, bool redraw) {
    EnsureLayout();
    offset = std::min(offset, layout_.maxHorzOffset);
    syncingBars_ = true;
    horizontalScrollBar()->setValue(ToBarValue(offset));
    syncingBars_ = false;
    if (offset != horzOffset_ && redraw) {
        viewport()->update();
    }
    horzOffset_ = offset;
}

void CHexEditBase::ScrollRows(std::int32_t delta, bool redraw) {
    const std::int64_t target = std::max<std::int64_t>(std::int64_t{topRow_} + delta, 0);
    SetTopRow(static_cast<std::uint32_t>(std::min<std::int64_t>(target, UINT32_MAX)), redraw);
}

void CHexEditBase::MoveCaret(std::int32_t delta, bool highDigit) {
    if (data_.empty()) {
        return;
    }
    const auto last = static_cast<std::int64_t>(data_.size() - 1);
    caret_ =
        static_cast<std::uint32_t>(std::clamp<std::int64_t>(caret_ + std::int64_t{delta}, 0, last));
    caretOnHighDigit_ = highDigit;
    MakeVisible(caret_, true);
}

void CHexEditBase::MakeVisible(std::uint32_t position, bool redraw) {
    EnsureLayout();
    const std::uint64_t bpr = layout_.bytesPerRow;
    const std::uint64_t fullBytes = std::uint64_t{layout_.fullRows} * bpr;
    const std::uint64_t firstVisible = topRow_ * bpr;
    if (position < firstVisible) {
        SetTopRow(static_cast<std::uint32_t>(position / bpr), false);  // its row on top
    } else if (position >= firstVisible + fullBytes) {
        // Its row becomes the last fully visible one: the row below the full rows is only
        // partly in view, so Down scrolls one row at a time.
        SetTopRow(static_cast<std::uint32_t>((position + bpr - fullBytes) / bpr), false);
    }

    // The byte's two digits; the high byte of a word is shown first.
    const std::uint64_t inRow = position % bpr;
    const std::int64_t cell = static_cast<std::int64_t>(inRow / 2 * 5 + (inRow % 2 != 0 ? 0 : 2));
    const std::int64_t x1 = layout_.hexX + cell * layout_.charWidth - horzOffset_;
    const std::int64_t x2 = x1 + 2 * layout_.charWidth;
    const std::int64_t right = layout_.clientWidth;
    if (x1 <= 0 && x2 >= right) {
        // Wider than the view: leave it.
    } else if (x1 < 0) {
        SetHorzOffset(static_cast<std::uint32_t>(horzOffset_ + x1), false);
    } else if (x2 >= right) {
        SetHorzOffset(static_cast<std::uint32_t>(horzOffset_ + x2 - right), false);
    }
    if (redraw) {
        viewport()->update();
    }
}

std::vector<CHexEditBase::VisibleRow> CHexEditBase::VisibleRows() {
    EnsureLayout();
    std::vector<VisibleRow> rows;
    if (data_.empty() || topRow_ >= layout_.totalRows || layout_.rowsInView == 0) {
        return rows;
    }
    const std::uint32_t bpr = layout_.bytesPerRow;
    const auto length = static_cast<std::uint32_t>(data_.size());
    const std::uint64_t last = std::min<std::uint64_t>(
        std::uint64_t{topRow_} + layout_.rowsInView - 1, layout_.totalRows - 1);
    std::array<char, HexRowText::kAddressBufferSize> address{};
    std::array<char, HexRowText::kWordBufferSize> words{};
    std::array<char, HexRowText::kCharBufferSize> chars{};
    for (std::uint64_t row = topRow_; row <= last; ++row) {
        const auto first = static_cast<std::uint32_t>(row * bpr);
        const std::uint32_t count = std::min(bpr, length - first);
        VisibleRow text;
        if (showAddress_) {
            const std::uint32_t word = baseAddress_ + first / 2;  // wraps as words do
            text.address = Latin1(address, HexRowText::Address(address, word, addressDigits_));
        }
        text.words = Latin1(words, HexRowText::Words(words, &data_[first], count));
        if (showAscii_) {
            text.chars = Latin1(chars, HexRowText::Chars(chars, &data_[first], count));
        }
        rows.push_back(std::move(text));
    }
    return rows;
}

QString CHexEditBase::SelectedText() {
    EnsureLayout();
    return selection_.Text(layout_, data_, baseAddress_, addressDigits_);
}

void CHexEditBase::Copy() {
    if (selection_.Active()) {
        QGuiApplication::clipboard()->setText(SelectedText());
    }
}

const HexLayout& CHexEditBase::Layout() {
    EnsureLayout();
    return layout_;
}

void CHexEditBase::MarkDirty(bool redraw) {
    layoutDirty_ = true;
    if (redraw) {
        viewport()->update();
    }
}

void CHexEditBase::EnsureLayout() {
    if (layoutDirty_) {
        ComputeLayout();
    }
}

void CHexEditBase::ComputeLayout() {
    layoutDirty_ = false;
    const QFontMetrics metrics(font_);
    HexLayoutInput in;
    in.charWidth = cellWidth_;
    in.lineHeight = metrics.height();
    in.clientWidth = viewport()->width();
    in.clientHeight = viewport()->height();
    in.length = Length();
    in.bytesPerRowSetting = bytesPerRowSetting_;
    in.addressDigits = addressDigits_;
    in.autoFit = autoFit_;
    in.showAddress = showAddress_;
    in.showAscii = showAscii_;
    layout_ = HexLayout::Compute(in);
    ascent_ = metrics.ascent();
    topRow_ = std::min(topRow_, layout_.maxTopRow);
    horzOffset_ = std::min(horzOffset_, layout_.maxHorzOffset);
    PostUpdateScrollBars();
}

// Changing the bars can resize the viewport, so a layout made while painting hands the bars
// over to the event loop instead of touching them at once.
void CHexEditBase::PostUpdateScrollBars() {
    if (barUpdatePending_) {
        return;
    }
    barUpdatePending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            barUpdatePending_ = false;
            UpdateScrollBars();
        },
        Qt::QueuedConnection);
}

void CHexEditBase::UpdateScrollBars() {
    EnsureLayout();
    syncingBars_ = true;
    QScrollBar* vertical = verticalScrollBar();
    if (layout_.maxTopRow > 0) {
        vertical->setRange(0, ToBarValue(layout_.maxTopRow));
        vertical->setPageStep(ToBarValue(layout_.fullRows));
        vertical->setSingleStep(1);
        vertical->setValue(ToBarValue(topRow_));
    } else {
        vertical->setRange(0, 0);
    }
    QScrollBar* horizontal = horizontalScrollBar();
    if (layout_.maxHorzOffset > 0) {
        horizontal->setRange(0, ToBarValue(layout_.maxHorzOffset));
        horizontal->setPageStep(layout_.clientWidth);
        horizontal->setSingleStep(layout_.charWidth);
        horizontal->setValue(ToBarValue(horzOffset_));
    } else {
        horizontal->setRange(0, 0);
    }
    syncingBars_ = false;
}

void CHexEditBase::paintEvent(QPaintEvent*) {
    EnsureLayout();
    QPainter p(viewport());
    p.fillRect(viewport()->rect(), kControlBackground);
    if (!data_.empty() && topRow_ < layout_.totalRows) {
        p.setFont(font_);
        PaintColumns(p);
    }
    if (hasFocus()) {
        PaintFocusFrame(p, viewport()->rect(), palette());
    }
}

void CHexEditBase::PaintColumns(QPainter& p) const {
    const auto length = static_cast<std::uint32_t>(data_.size());
    const std::uint32_t bpr = layout_.bytesPerRow;
    const int left = -static_cast<int>(horzOffset_);
    const QColor selectedBackground = palette().color(QPalette::Highlight);
    const QColor selectedText = palette().color(QPalette::HighlightedText);
    ColumnPainter column{p, topRow_,
                         // The row below the last one in view is formatted as well.
                         static_cast<std::uint32_t>(std::min<std::uint64_t>(
                             std::uint64_t{topRow_} + layout_.rowsInView, layout_.totalRows - 1)),
                         layout_.lineHeight, ascent_, layout_.clientHeight};
    const auto rowBytes = [&](std::uint32_t row) { return std::min(bpr, length - row * bpr); };

    if (showAddress_) {
        std::array<char, HexRowText::kAddressBufferSize> text{};
        column.Paint(
            layout_.addrX + left, layout_.addrWidth - HexLayout::kColumnGap, kAddressBackground,
            kAddressText,
            [&](std::uint32_t row) {
                const std::uint32_t address = baseAddress_ + row * (bpr / 2);  // wraps as words do
                return Latin1(text, HexRowText::Address(text, address, addressDigits_));
            },
            [](std::uint32_t, int&, int&) { return false; }, selectedBackground, selectedText);
    }

    std::array<char, HexRowText::kWordBufferSize> words{};
    column.Paint(
        layout_.hexX + left, layout_.wordTextWidth, kWordBackground, kWordText,
        [&](std::uint32_t row) {
            return Latin1(words, HexRowText::Words(words, &data_[row * bpr], rowBytes(row)));
        },
        [&](std::uint32_t row, int& x, int& width) { return WordSelection(row, x, width); },
        selectedBackground, selectedText);

    if (showAscii_) {
        std::array<char, HexRowText::kCharBufferSize> chars{};
        column.Paint(
            layout_.asciiX + left, layout_.asciiWidth, kCharBackground, kCharText,
            [&](std::uint32_t row) {
                return Latin1(chars, HexRowText::Chars(chars, &data_[row * bpr], rowBytes(row)));
            },
            [&](std::uint32_t row, int& x, int& width) { return CharSelection(row, x, width); },
            selectedBackground, selectedText);
    }
}

bool CHexEditBase::WordSelection(std::uint32_t row, int& x, int& width) const {
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    if (!selection_.OnRow(layout_, static_cast<std::uint32_t>(data_.size()), row, first, last)) {
        return false;
    }
    const std::uint32_t bpr = layout_.bytesPerRow;
    const int w0 = static_cast<int>((first - row * bpr) / 2);
    const int w1 = static_cast<int>((last - row * bpr) / 2);
    x = w0 * 5 * layout_.charWidth;
    width = ((w1 - w0) * 5 + 4) * layout_.charWidth;  // the separators between them too
    return true;
}

bool CHexEditBase::CharSelection(std::uint32_t row, int& x, int& width) const {
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    if (!selection_.OnRow(layout_, static_cast<std::uint32_t>(data_.size()), row, first, last)) {
        return false;
    }
    x = static_cast<int>(first - row * layout_.bytesPerRow) * layout_.charWidth;
    width = static_cast<int>(last - first + 1) * layout_.charWidth;
    return true;
}

void CHexEditBase::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    ComputeLayout();
    UpdateScrollBars();
}

void CHexEditBase::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        SetFont(font(), true);
    }
    QAbstractScrollArea::changeEvent(event);
}

void CHexEditBase::focusInEvent(QFocusEvent*) {
    viewport()->update();  // the focus frame shows, with or without data
}

void CHexEditBase::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

void CHexEditBase::keyPressEvent(QKeyEvent* event) {
    event->accept();  // no key reaches the parent
    if (event->matches(QKeySequence::Copy)) {
        Copy();
        return;
    }
    EnsureLayout();
    const std::int64_t row = layout_.bytesPerRow;
    const std::int64_t pageRows = layout_.rowsInView > 0 ? layout_.rowsInView - 1 : 0;
    const bool high = caretOnHighDigit_;
    switch (event->key()) {
        case Qt::Key_Left:
            MoveCaret(high ? -1 : 0, !high);  // one digit per press
            break;
        case Qt::Key_Right:
            MoveCaret(high ? 0 : 1, !high);
            break;
        case Qt::Key_Up:
            MoveCaret(ToDelta(-row), high);
            break;
        case Qt::Key_Down:
            MoveCaret(ToDelta(row), high);
            break;
        case Qt::Key_PageUp:
            MoveCaret(ToDelta(-pageRows * row), high);
            break;
        case Qt::Key_PageDown:
            MoveCaret(ToDelta(pageRows * row), high);
            break;
        case Qt::Key_Home:
            MoveCaret(kHomeDelta, true);
            break;
        case Qt::Key_End:
            MoveCaret(kEndDelta, false);
            break;
        case Qt::Key_Tab:
            focusNextPrevChild(!(event->modifiers() & Qt::ShiftModifier));
            break;
        case Qt::Key_Backtab:
            focusNextPrevChild(false);
            break;
        default:
            break;
    }
}

void CHexEditBase::wheelEvent(QWheelEvent* event) {
    EnsureLayout();
    // One row per notch of 120, upward for a positive delta; partial notches do nothing.
    ScrollRows(event->angleDelta().y() / -120, true);
    event->accept();
}

void CHexEditBase::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || data_.empty()) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    EnsureLayout();
    const bool hadSelection = selection_.Active();
    selection_.Start(
        HexSelection::WordAt(layout_, event->position().toPoint(), topRow_, horzOffset_, Length()));
    selecting_ = true;
    if (hadSelection) {
        viewport()->update();
    }
}

void CHexEditBase::mouseMoveEvent(QMouseEvent* event) {
    if (!selecting_ || data_.empty()) {
        return;
    }
    EnsureLayout();
    const QPoint pos = event->position().toPoint();
    if (pos.y() < 0) {
        ScrollRows(-1, true);
    } else if (pos.y() >= layout_.clientHeight) {
        ScrollRows(1, true);
    }
    if (selection_.Extend(HexSelection::WordAt(layout_, pos, topRow_, horzOffset_, Length()))) {
        viewport()->update();
    }
}

void CHexEditBase::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        selecting_ = false;
    }
}

void CHexEditBase::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* copy = menu.addAction(tr("&Copy"), this, &CHexEditBase::Copy);
    copy->setShortcut(QKeySequence::Copy);
    copy->setEnabled(selection_.Active());
    menu.exec(event->globalPos());
}

void CHexEditBase::scrollContentsBy(int, int) {
    if (syncingBars_) {
        return;
    }
    if (data_.empty()) {
        // Nothing to scroll: the bars go back to where the view is.
        syncingBars_ = true;
        verticalScrollBar()->setValue(ToBarValue(topRow_));
        horizontalScrollBar()->setValue(ToBarValue(horzOffset_));
        syncingBars_ = false;
        return;
    }
    SetTopRow(static_cast<std::uint32_t>(verticalScrollBar()->value()), true);
    SetHorzOffset(static_cast<std::uint32_t>(horizontalScrollBar()->value()), true);
}
