#pragma once

#include <QPushButton>

// A push button as in a dialog: flat, and pressed by Enter or the keypad's Enter as well as
// by Space while it has the focus. A key acts once for each time it goes down: a key held
// down acts no more, whether its repeats are marked as such or not, until it is let go.
class DialogButton : public QPushButton {
    Q_OBJECT

public:
    DialogButton(const QString& caption, QWidget* parent);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    // Watches for the held key's release wherever it goes: the focus moves on while the
    // operation the key started runs, and the key may be let go meanwhile.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void Hold(int key);
    void LetGo();

    int heldKey_ = 0;  // the key that pressed the button and has not been let go since
};
