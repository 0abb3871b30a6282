#pragma once

#include <QDir>
#include <QString>
#include <QStringList>
#include <memory>

#include "SingleInstanceGuard.h"

class CMainFrame;
class Clock;
class D2xxLibrary;
class QSettings;
class SFileImage;

// Starts the program: one instance only, the settings root, the main frame with the form,
// the window title. Command line (WindowCommandLine): "--simulate" runs the window against the
// simulated pod at the pace of a real one; otherwise the vendor's D2XX library or libftdi1
// reaches the pod. A FILE argument is loaded as File Load would.
class CVantixApp {
public:
    static constexpr int kAboutCommand = 57664;
    static constexpr const char* kOrganisation = "Kelvora";
    static constexpr const char* kApplication = "Vantix16";
    // The desktop entry, the icon and the AppStream metainfo are installed under this id.
    static constexpr const char* kApplicationId = "com.kelvora.Vantix";
    static constexpr const char* kTitle = "Rudududi VER56A80D Udavedorov Ver1.3 - Kelvora";
    static constexpr const char* kSimulatedNotice = "Simulated USB POD: no hardware is used";

    CVantixApp();
    ~CVantixApp();
    CVantixApp(const CVantixApp&) = delete;
    CVantixApp& operator=(const CVantixApp&) = delete;

    // The whole program: lock, toolkit, start-up, message loop. --help and --version answer
    // before the lock. A second instance ends at once with 1 and one line on stderr, without
    // a window.
    static int Main(int argc, char** argv);

    // False when another instance runs. Needs no toolkit, so a refused start shows nothing.
    bool AcquireInstanceLock(const QString& directory = QDir::tempPath());
    // The start-up once the toolkit runs: settings root, pod backend, frame and form, shown
    // and titled. False (after a message on the error stream) for a command line it cannot
    // take.
    bool InitInstance(const QStringList& arguments);
    // The frame's command ids; only the About command has an effect.
    void OnCommand(int id);
    void OnAppAbout();
    // Closes the frame and the form (their settings are written) while the toolkit runs.
    void ExitInstance();

    // Seams for tests and tools, set before InitInstance: another settings store, and another
    // pod backend with the clock it runs on.
    void UseSettings(std::unique_ptr<QSettings> settings);
    void UsePodBackend(std::unique_ptr<Clock> clock, std::unique_ptr<D2xxLibrary> library);

    CMainFrame* MainWindow() const { return frame_.get(); }
    QSettings* Settings() const { return settings_.get(); }

private:
    bool MakePodBackend(bool simulate);

    std::unique_ptr<SingleInstanceGuard> guard_;
    std::unique_ptr<QSettings> settings_;
    std::unique_ptr<Clock> clock_;
    std::unique_ptr<SFileImage> image_;
    std::unique_ptr<D2xxLibrary> library_;
    std::unique_ptr<CMainFrame> frame_;
};
