// The program `vantix` with one addition: a start-up hook that notes when the main window's
// first frame has been painted, prints the moment and quits. Everything else is the real
// start-up, through the same CVantixApp::Main as the program's own main.
//
// Output, one line of JSON on stdout: the CLOCK_MONOTONIC time of the first painted frame,
// the CPU time used until then and the peak resident memory so far.
// Usage: QT_QPA_PLATFORM=offscreen vantix-first-paint --simulate
#include <QCoreApplication>

#include "CVantixApp.h"
#include "FirstPaintWatch.h"

namespace {

void InstallFirstPaintWatch() {
    auto* watch = new FirstPaintWatch(qApp);
    qApp->installEventFilter(watch);
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(InstallFirstPaintWatch)

int main(int argc, char** argv) {
    return CVantixApp::Main(argc, argv);
}
