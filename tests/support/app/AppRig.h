#pragma once

#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include "CMainFrame.h"
#include "CVantixApp.h"
#include "CVantixView.h"
#include "Clock.h"
#include "sim/SimulatedD2xxLibrary.h"
#include "sim/SimulatedPod.h"

// An application over a scratch settings file and an instant simulated pod.
struct AppRig {
    QTemporaryDir dir;
    std::unique_ptr<CVantixApp> app = std::make_unique<CVantixApp>();
    SimulatedPod* sim = nullptr;

    QString SettingsPath() const { return dir.filePath(QStringLiteral("settings.ini")); }
    QSettings Stored() const { return QSettings(SettingsPath(), QSettings::IniFormat); }

    bool Start(bool injectSettings = true, const QStringList& more = {}) {
        if (injectSettings) {
            app->UseSettings(std::make_unique<QSettings>(SettingsPath(), QSettings::IniFormat));
        }
        auto clock = std::make_unique<VirtualClock>();
        auto pod = std::make_unique<SimulatedPod>(*clock, SimPace::Instant);
        sim = pod.get();
        app->UsePodBackend(std::move(clock),
                           std::make_unique<SimulatedD2xxLibrary>(std::move(pod)));
        return app->AcquireInstanceLock(dir.path()) &&
               app->InitInstance(
                   QStringList{QStringLiteral("vantix"), QStringLiteral("--simulate")} + more);
    }
    CMainFrame& Frame() { return *app->MainWindow(); }
    CVantixView& Form() { return *app->MainWindow()->Form(); }
};
