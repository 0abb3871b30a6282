#pragma once

#include <QCoreApplication>
#include <QSettings>
#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "CVantixView.h"
#include "Clock.h"
#include "SFileImage.h"
#include "sim/SimulatedD2xxLibrary.h"
#include "sim/SimulatedPod.h"

// A form over the simulated pod at instant pace and a settings file of its own in a scratch
// folder. Faults and settings are scripted before Start(); Restart() closes the form (its
// settings are saved) and opens a new one over the same store, as a second run would.
struct FormRig {
    using Line = std::pair<QString, std::uint32_t>;

    FormRig();
    ~FormRig();

    void Start();
    void Restart();
    // Settings as a fresh reader sees them on disk.
    std::unique_ptr<QSettings> StoredSettings();
    QString SettingsPath() const { return dir.filePath(QStringLiteral("settings.ini")); }

    // A file in the scratch folder; returns its path.
    QString WriteFile(const QString& name, const std::string& content);
    static QString Example(const char* name);

    void Load(const QString& path, CpuType cpu);
    void LoadExample(const char* name, CpuType cpu);
    void Tick(int row, bool ticked);

    // The message window's lines with their colours (0x00BBGGRR).
    std::vector<Line> Messages() const;
    QString LastMessage() const;
    void ClearMessages();
    QString Status() const { return QString::fromStdString(view->StatusLabel().Text()); }
    bool ControlsEnabled() const;
    bool AllLedsLit(std::uint32_t colour) const;

    QTemporaryDir dir;
    std::unique_ptr<QSettings> settings;
    VirtualClock clock;
    SimulatedPod sim{clock};
    SimulatedD2xxLibrary library{sim};
    SFileImage image;
    std::unique_ptr<CVantixView> view;
};

// Words written low byte first at word addresses; data-space words at 0x200000 + address.
std::string S3Line(std::uint32_t address, const std::vector<std::uint16_t>& words);

// Lets queued work run; never sleeps.
inline void Settle() {
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
    }
}
