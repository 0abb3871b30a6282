#pragma once

#include <QTableWidget>

// The buffer window's list of regions. Enter on a row asks for its region as a double-click
// does, and the list marks the keyboard focus with a frame, so that it shows even while no
// row is selected or the list is empty.
class RegionListWidget : public QTableWidget {
    Q_OBJECT

public:
    explicit RegionListWidget(QWidget* parent = nullptr);

signals:
    // Enter or the keypad's Enter on the current row; -1 when there is none.
    void rowEntered(int row);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};
