#include "RegionListWidget.h"

#include <QKeyEvent>
#include <QPainter>

#include "FocusFrame.h"

RegionListWidget::RegionListWidget(QWidget* parent) : QTableWidget(parent) {}

void RegionListWidget::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (!event->isAutoRepeat()) {
            emit rowEntered(currentIndex().isValid() ? currentRow() : -1);
        }
        event->accept();
        return;
    }
    QTableWidget::keyPressEvent(event);
}

void RegionListWidget::paintEvent(QPaintEvent* event) {
    QTableWidget::paintEvent(event);
    if (hasFocus()) {
        QPainter painter(viewport());
        PaintFocusFrame(painter, viewport()->rect(), palette());
    }
}

void RegionListWidget::focusInEvent(QFocusEvent* event) {
    QTableWidget::focusInEvent(event);
    viewport()->update();
}

void RegionListWidget::focusOutEvent(QFocusEvent* event) {
    QTableWidget::focusOutEvent(event);
    viewport()->update();
}
