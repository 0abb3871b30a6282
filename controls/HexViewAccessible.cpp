#include "HexViewAccessible.h"

#include <QStringList>
#include <QWidget>
#include <algorithm>

#include "CHexEditBase.h"

namespace {

QString Line(const CHexEditBase::VisibleRow& row) {
    QStringList parts;
    for (const QString* part : {&row.address, &row.words, &row.chars}) {
        if (!part->isEmpty()) {
            parts.append(*part);
        }
    }
    return parts.join(QLatin1Char(' '));
}

// Where one character of a line is drawn, in viewport pixels; false past the line's end.
bool CharacterCell(const std::vector<CHexEditBase::VisibleRow>& rows, const HexLayout& layout,
                   int left, int line, int column, QRect& cell) {
    if (line < 0 || line >= static_cast<int>(rows.size()) || column < 0) {
        return false;
    }
    const CHexEditBase::VisibleRow& row = rows[static_cast<std::size_t>(line)];
    // The columns' lefts in the order the line lists them; the blank between two parts
    // stands for the gap after a column.
    const std::pair<const QString*, int> parts[] = {
        {&row.address, layout.addrX}, {&row.words, layout.hexX}, {&row.chars, layout.asciiX}};
    for (const auto& [part, partX] : parts) {
        if (part->isEmpty()) {
            continue;
        }
        const int size = static_cast<int>(part->size());
        if (column <= size) {
            cell = QRect(left + partX + column * layout.charWidth, line * layout.lineHeight,
                         layout.charWidth, layout.lineHeight);
            return true;
        }
        column -= size + 1;
    }
    return false;
}

}  // namespace

HexViewAccessible::HexViewAccessible(CHexEditBase* view)
    : QAccessibleWidget(view, QAccessible::EditableText) {}

CHexEditBase* HexViewAccessible::View() const {
    return static_cast<CHexEditBase*>(object());
}

void* HexViewAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TextInterface) {
        return static_cast<QAccessibleTextInterface*>(this);
    }
    return QAccessibleWidget::interface_cast(type);
}

QAccessible::State HexViewAccessible::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    state.readOnly = true;
    state.multiLine = true;
    return state;
}

QString HexViewAccessible::AllText() const {
    QStringList lines;
    for (const CHexEditBase::VisibleRow& row : View()->VisibleRows()) {
        lines.append(Line(row));
    }
    return lines.join(QLatin1Char('\n'));
}

QString HexViewAccessible::text(int startOffset, int endOffset) const {
    const QString all = AllText();
    const int start = std::clamp(startOffset, 0, static_cast<int>(all.size()));
    const int end = std::clamp(endOffset < 0 ? static_cast<int>(all.size()) : endOffset, start,
                               static_cast<int>(all.size()));
    return all.mid(start, end - start);
}

int HexViewAccessible::characterCount() const {
    return static_cast<int>(AllText().size());
}

QRect HexViewAccessible::characterRect(int offset) const {
    CHexEditBase* view = View();
    const std::vector<CHexEditBase::VisibleRow> rows = view->VisibleRows();
    int line = 0;
    int column = offset;
    for (const CHexEditBase::VisibleRow& row : rows) {
        const int size = static_cast<int>(Line(row).size());
        if (column <= size) {
            break;
        }
        column -= size + 1;
        ++line;
    }
    QRect cell;
    if (offset < 0 || !CharacterCell(rows, view->Layout(), -static_cast<int>(view->HorzOffset()),
                                     line, column, cell)) {
        return {};
    }
    return QRect(view->viewport()->mapToGlobal(cell.topLeft()), cell.size());
}

int HexViewAccessible::offsetAtPoint(const QPoint& point) const {
    CHexEditBase* view = View();
    const std::vector<CHexEditBase::VisibleRow> rows = view->VisibleRows();
    const HexLayout& layout = view->Layout();
    const QPoint local = view->viewport()->mapFromGlobal(point);
    const int left = -static_cast<int>(view->HorzOffset());
    int lineStart = 0;
    for (int line = 0; line < static_cast<int>(rows.size()); ++line) {
        const int size = static_cast<int>(Line(rows[static_cast<std::size_t>(line)]).size());
        QRect cell;
        for (int column = 0; column < size; ++column) {
            if (CharacterCell(rows, layout, left, line, column, cell) && cell.contains(local)) {
                return lineStart + column;
            }
        }
        lineStart += size + 1;
    }
    return -1;
}

void HexViewAccessible::selection(int, int* startOffset, int* endOffset) const {
    *startOffset = 0;
    *endOffset = 0;
}

QString HexViewAccessible::attributes(int offset, int* startOffset, int* endOffset) const {
    *startOffset = offset;
    *endOffset = offset;
    return {};
}
