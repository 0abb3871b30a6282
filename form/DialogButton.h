#pragma once

#include <QPushButton>

// A push button as in a dialog: flat, and pressed by Enter or the keypad's Enter as well as
// by Space while it has the focus.
class DialogButton : public QPushButton {
    Q_OBJECT

public:
    DialogButton(const QString& caption, QWidget* parent);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
