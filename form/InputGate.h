#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>

// Keeps clicks and keys made while an operation runs from acting after it. An operation holds
// the user-interface thread; the window system queues what the operator does meanwhile and
// hands it over whenever events are next processed, often only once the operation is over and
// its buttons are enabled again. While the gate is closed, such input reaches only the
// controls the form keeps usable and the scroll bars and wheel of its views; a click or key
// meant for any other control of the form is dropped, including the second half of a double
// click on the button that started it.
class InputGate : public QObject {
public:
    // form: the widget whose window the gate guards; the gate filters the whole application's
    // events but only judges those of that window and of its controls' pop-ups.
    explicit InputGate(QWidget& form);
    ~InputGate() override;

    // Controls that take clicks and keys while the gate is closed.
    void SetUsable(const QList<QWidget*>& controls);

    // Closed from the start of an operation ...
    void Close();
    // ... until the event loop runs again after it: what the window system holds now is
    // delivered at once, while the gate is still closed, and the gate opens from the loop.
    void OpenAtEventLoop();
    bool IsClosed() const { return closed_; }
    // Runs work once the gate is open (at once when it is open now): what a usable control
    // asked for during an operation that must not run inside it, such as a modal dialog.
    void WhenOpen(std::function<void()> work);

    // Closes the gate for a scope: an operation's handler.
    class Closure {
    public:
        explicit Closure(InputGate& gate) : gate_(gate) { gate_.Close(); }
        ~Closure() { gate_.OpenAtEventLoop(); }
        Closure(const Closure&) = delete;
        Closure& operator=(const Closure&) = delete;

    private:
        InputGate& gate_;
    };

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void customEvent(QEvent* event) override;

private:
    bool Guards(const QWidget* widget) const;
    bool IsUsable(const QWidget* widget) const;
    void Open();

    QWidget& form_;
    QList<QPointer<QWidget>> usable_;
    std::function<void()> whenOpen_;
    // Each closing outdates the opening posted for the closing before it.
    unsigned generation_ = 0;
    bool closed_ = false;
};
