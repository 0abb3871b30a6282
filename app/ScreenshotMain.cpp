// Renders the window as the README shows it: an example image loaded and written and verified
// on the simulated pod, at instant pace so that it takes no real time.
// Usage: vantix-screenshot <S file> <PNG file>   (run it with QT_QPA_PLATFORM=offscreen)
#include <QApplication>
#include <QComboBox>
#include <QPixmap>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

#include "CMainFrame.h"
#include "CVantixApp.h"
#include "CVantixView.h"
#include "Clock.h"
#include "sim/SimulatedD2xxLibrary.h"
#include "sim/SimulatedPod.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: vantix-screenshot <S file> <PNG file>\n");
        return 2;
    }
    QTemporaryDir scratch;
    CVantixApp app;
    if (!scratch.isValid() || !app.AcquireInstanceLock(scratch.path())) {
        std::fprintf(stderr, "vantix-screenshot: no scratch folder\n");
        return 1;
    }
    QApplication toolkit(argc, argv);
    app.UseSettings(std::make_unique<QSettings>(scratch.filePath(QStringLiteral("settings.ini")),
                                                QSettings::IniFormat));
    auto clock = std::make_unique<VirtualClock>();
    auto pod = std::make_unique<SimulatedPod>(*clock, SimPace::Instant);
    auto library = std::make_unique<SimulatedD2xxLibrary>(std::move(pod));
    app.UsePodBackend(std::move(clock), std::move(library));
    if (!app.InitInstance({QStringLiteral("vantix"), QStringLiteral("--simulate")})) {
        return 1;
    }

    CVantixView& form = *app.MainWindow()->Form();
    form.PathBox().setEditText(QString::fromLocal8Bit(argv[1]));
    form.OnFileLoad();
    form.OnTargetWriteVerify();
    QApplication::processEvents();
    // The whole form, as a screen large enough for it shows the window.
    const bool written = form.grab().save(QString::fromLocal8Bit(argv[2]));
    const bool verified =
        form.StatusLabel().Text().rfind("Flash Write && Verify Completed - ", 0) == 0;
    app.ExitInstance();
    if (!written) {
        std::fprintf(stderr, "vantix-screenshot: cannot write %s\n", argv[2]);
        return 1;
    }
    if (!verified) {
        std::fprintf(stderr, "vantix-screenshot: the write and verify did not succeed\n");
        return 1;
    }
    return 0;
}
