#include "FirstPaintWatch.h"

#include <sys/resource.h>

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <cstdio>

namespace {

double Seconds(const timespec& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

}  // namespace

bool FirstPaintWatch::eventFilter(QObject* watched, QEvent* event) {
    if (!seen_ && event->type() == QEvent::Paint && watched->isWidgetType()) {
        seen_ = true;
        clock_gettime(CLOCK_MONOTONIC, &begin_);
        window_ = QString::fromLatin1(
            static_cast<QWidget*>(watched)->window()->metaObject()->className());
        QTimer::singleShot(0, this, &FirstPaintWatch::FrameDone);
    }
    return false;
}

void FirstPaintWatch::FrameDone() {
    timespec done{};
    clock_gettime(CLOCK_MONOTONIC, &done);
    timespec cpu{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf(
        "{\"paint_begin_monotonic_s\": %.6f, \"frame_done_monotonic_s\": %.6f, "
        "\"cpu_s\": %.6f, \"max_rss_kb\": %ld, \"window\": \"%s\"}\n",
        Seconds(begin_), Seconds(done), Seconds(cpu), usage.ru_maxrss, qPrintable(window_));
    std::fflush(stdout);
    Quit();
}

// Before the application's event loop runs, exit() has nothing to end: try again shortly.
void FirstPaintWatch::Quit() {
    if (QThread::currentThread()->loopLevel() > 0) {
        QCoreApplication::exit(0);
    } else {
        QTimer::singleShot(1, this, &FirstPaintWatch::Quit);
    }
}
