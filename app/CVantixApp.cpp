#include "CVantixApp.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QSettings>
#include <cstdio>

#include "BackendSelection.h"
#include "CAboutDialog.h"
#include "CMainFrame.h"
#include "CVantixView.h"
#include "Clock.h"
#include "SFileImage.h"

CVantixApp::CVantixApp() = default;

CVantixApp::~CVantixApp() {
    ExitInstance();
}

int CVantixApp::Main(int argc, char** argv) {
    CVantixApp app;
    if (!app.AcquireInstanceLock()) {
        return 1;
    }
    QApplication toolkit(argc, argv);
    if (!app.InitInstance(QApplication::arguments())) {
        return 2;
    }
    const int code = QApplication::exec();
    app.ExitInstance();
    return code;
}

bool CVantixApp::AcquireInstanceLock(const QString& directory) {
    guard_ = std::make_unique<SingleInstanceGuard>(directory);
    return guard_->TryAcquire();
}

bool CVantixApp::InitInstance(const QStringList& arguments) {
    QCoreApplication::setOrganizationName(QString::fromLatin1(kOrganisation));
    QCoreApplication::setApplicationName(QString::fromLatin1(kApplication));
    if (QApplication::windowIcon().isNull()) {
        // The icon the package installs; the About box shows it too.
        QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("vantix")));
    }
    if (!settings_) {
        settings_ = std::make_unique<QSettings>(QString::fromLatin1(kOrganisation),
                                                QString::fromLatin1(kApplication));
    }

    QCommandLineParser parser;
    const QCommandLineOption simulate(
        QStringLiteral("simulate"),
        QStringLiteral("Work with the simulated pod instead of USB hardware."));
    parser.addOption(simulate);
    const QCommandLineOption pod(
        QStringLiteral("pod"),
        QStringLiteral("Use the pod with this serial number (default: the first pod)."),
        QStringLiteral("SERIAL"));
    parser.addOption(pod);
    // A file name is taken and has no effect: the form keeps its own S files.
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("Ignored."),
                                 QStringLiteral("[file]"));
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "vantix: %s\n", qPrintable(parser.errorText()));
        return false;
    }
    const bool simulated = parser.isSet(simulate);
    if (!MakePodBackend(simulated)) {
        return false;
    }

    image_ = std::make_unique<SFileImage>();
    frame_ = std::make_unique<CMainFrame>(*settings_);
    auto* form = new CVantixView(*settings_, *image_, *library_, *clock_);
    form->Pod().SetWantedSerial(parser.value(pod).toStdString());
    frame_->SetForm(form);
    frame_->PlaceAtSavedRectangle();
    // The controls take their first texts once their windows exist, which the toolkit
    // creates on show; nothing is painted before the start-up below has run.
    frame_->show();
    form->InitForm();
    if (simulated) {
        form->Messages().AddMessage(kSimulatedNotice, kColourBlue);
    }
    frame_->setWindowTitle(QString::fromLatin1(kTitle));
    return true;
}

bool CVantixApp::MakePodBackend(bool simulate) {
    if (library_) {
        return true;
    }
    clock_ = std::make_unique<SteadyClock>();
    BackendOptions options;
    options.simulate = simulate;
    options.simRealtime = true;
    D2xxBackend backend = MakeD2xxBackend(options, *clock_);
    if (!backend.library) {
        std::fprintf(stderr, "vantix: %s\n", backend.error.c_str());
        return false;
    }
    library_ = std::move(backend.library);
    return true;
}

void CVantixApp::OnCommand(int id) {
    if (id == kAboutCommand) {
        OnAppAbout();
    }
}

void CVantixApp::OnAppAbout() {
    CAboutDialog about(frame_.get());
    about.exec();
}

void CVantixApp::ExitInstance() {
    frame_.reset();
    library_.reset();
    image_.reset();
    clock_.reset();
    if (settings_) {
        settings_->sync();
    }
}

void CVantixApp::UseSettings(std::unique_ptr<QSettings> settings) {
    settings_ = std::move(settings);
}

void CVantixApp::UsePodBackend(std::unique_ptr<Clock> clock, std::unique_ptr<D2xxLibrary> library) {
    clock_ = std::move(clock);
    library_ = std::move(library);
}
