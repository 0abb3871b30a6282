#include "CVantixApp.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QSettings>
#include <cstdio>
#include <optional>
#include <string>

#include "BackendSelection.h"
#include "CAboutDialog.h"
#include "CMainFrame.h"
#include "CVantixView.h"
#include "Clock.h"
#include "SFileImage.h"
#include "WindowCommandLine.h"

namespace {

void AddWindowOptions(QCommandLineParser& parser) {
    for (const OptionInfo& option : OptionsOf(Program::Window)) {
        QStringList names;
        if (option.shortName != nullptr) {
            names << QString::fromLatin1(option.shortName);
        }
        names << QString::fromLatin1(option.longName);
        const QString description = QString::fromLatin1(option.description);
        parser.addOption(
            option.valueName != nullptr
                ? QCommandLineOption(names, description, QString::fromLatin1(option.valueName))
                : QCommandLineOption(names, description));
    }
    parser.addPositionalArgument(QString::fromLatin1(WindowCommandLine::kFileArgument),
                                 QString::fromLatin1(WindowCommandLine::kFileDescription));
}

// What is wrong with the command line, in the window's words; empty when nothing is.
std::string CommandLineFault(QCommandLineParser& parser, const QStringList& arguments) {
    if (!parser.parse(arguments)) {
        return "vantix: " + parser.errorText().toStdString();
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        return "vantix: Unexpected argument '" + files.at(1).toStdString() + "': one FILE at most.";
    }
    return {};
}

// --help and --version are answered before the lock and the toolkit: they open no window
// and a running instance never refuses them. Help wins over every other finding. A command
// line that cannot be used is refused here too, before the lock: a mistyped option is
// reported as what it is, not as a running instance.
std::optional<int> AnswerInformationRequest(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    QCommandLineParser parser;
    AddWindowOptions(parser);
    const std::string fault = CommandLineFault(parser, arguments);
    std::string text;
    if (parser.isSet(QStringLiteral("help"))) {
        text = WindowCommandLine::HelpText();
    } else if (parser.isSet(QStringLiteral("version"))) {
        text = WindowCommandLine::VersionText();
    } else if (!fault.empty()) {
        std::fprintf(stderr, "%s\n", fault.c_str());
        return kWindowCannotStart;
    } else {
        return std::nullopt;
    }
    std::fputs(text.c_str(), stdout);
    return kWindowClosed;
}

}  // namespace

CVantixApp::CVantixApp() = default;

CVantixApp::~CVantixApp() {
    ExitInstance();
}

int CVantixApp::Main(int argc, char** argv) {
    if (const std::optional<int> answered = AnswerInformationRequest(argc, argv)) {
        return *answered;
    }
    CVantixApp app;
    if (!app.AcquireInstanceLock()) {
        std::fprintf(stderr, "%s\n", WindowCommandLine::kAlreadyRunning);
        return kWindowAlreadyRunning;
    }
    QApplication toolkit(argc, argv);
    if (!app.InitInstance(QApplication::arguments())) {
        return kWindowCannotStart;
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
        QApplication::setWindowIcon(QIcon::fromTheme(QString::fromLatin1(kApplicationId)));
    }
    // Lets the desktop match the window with its entry, which carries the same id.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kApplicationId));
    if (!settings_) {
        settings_ = std::make_unique<QSettings>(QString::fromLatin1(kOrganisation),
                                                QString::fromLatin1(kApplication));
    }

    QCommandLineParser parser;
    AddWindowOptions(parser);
    if (const std::string fault = CommandLineFault(parser, arguments); !fault.empty()) {
        std::fprintf(stderr, "%s\n", fault.c_str());
        return false;
    }
    const QStringList files = parser.positionalArguments();
    const bool simulated = parser.isSet(QStringLiteral("simulate"));
    if (!MakePodBackend(simulated)) {
        return false;
    }

    image_ = std::make_unique<SFileImage>();
    frame_ = std::make_unique<CMainFrame>(*settings_);
    auto* form = new CVantixView(*settings_, *image_, *library_, *clock_);
    form->Pod().SetWantedSerial(parser.value(QStringLiteral("pod")).toStdString());
    frame_->SetForm(form);
    frame_->PlaceAtSavedRectangle();
    // The controls take their first texts once their windows exist, which the toolkit
    // creates on show; nothing is painted before the start-up below has run.
    frame_->show();
    form->InitForm();
    if (simulated) {
        form->Messages().AddMessage(kSimulatedNotice, kColourBlue);
    }
    if (!files.isEmpty()) {
        form->LoadFile(files.front());
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
