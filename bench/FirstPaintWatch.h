#pragma once

#include <QObject>
#include <QString>
#include <ctime>

class QEvent;

// Watches every event of the application for the first paint of a widget: the start of the
// window's first frame. The frame's widgets paint one after the other within that event;
// at the next turn of the event loop the frame is done. The watch then prints both moments,
// the CPU time and the peak memory as one line of JSON, and ends the program as soon as its
// event loop runs (start-up may still be dispatching events of its own at that point).
class FirstPaintWatch final : public QObject {
    Q_OBJECT

public:
    explicit FirstPaintWatch(QObject* parent) : QObject(parent) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FrameDone();
    void Quit();

    bool seen_ = false;
    timespec begin_{};
    QString window_;
};
