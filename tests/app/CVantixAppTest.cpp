// Start-up, the main frame and its saved rectangle, the About box and the single instance,
// over the simulated pod at instant pace and a settings file in a scratch folder.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <memory>

#include "AppRig.h"
#include "CAboutDialog.h"
#include "FormLayout.h"
#include "SingleInstanceGuard.h"
#include "TestPaths.h"

namespace {

const QString kMain = QStringLiteral("Main Configuration/");

class AppTest : public QObject {
    Q_OBJECT

private slots:
    void startUpShowsOneFixedTitledFrame() {
        AppRig rig;
        QVERIFY(rig.Start());
        CMainFrame& frame = rig.Frame();
        QVERIFY(frame.isVisible());
        QCOMPARE(frame.windowTitle(),
                 QStringLiteral("Rudududi VER56A80D Udavedorov Ver1.3 - Kelvora"));
        QCOMPARE(frame.size(), rig.Form().FormSize());
        QCOMPARE(frame.minimumSize(), frame.maximumSize());
        QCOMPARE(rig.Form().geometry(), QRect(QPoint(0, 0), rig.Form().FormSize()));
        const Qt::WindowFlags flags = frame.windowFlags();
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(frame.findChildren<QMenuBar*>().isEmpty());
        const auto text = rig.Form().MessageWindow().toPlainText();
        QCOMPARE(text, QStringLiteral("Simulated USB POD: no hardware is used\n"));
    }

    void podSerialChoosesThePodTheWindowLooksFor() {
        const QString missing = QStringLiteral("Not connect to USB Programmer");
        AppRig other;
        QVERIFY(other.Start(true, {QStringLiteral("--pod"), QStringLiteral("VSIM0002")}));
        QVERIFY(other.Form().MessageWindow().toPlainText().contains(missing));
        AppRig listed;
        QVERIFY(listed.Start(true, {QStringLiteral("--pod"), QStringLiteral("VSIM0001")}));
        QVERIFY(!listed.Form().MessageWindow().toPlainText().contains(missing));
    }

    void theAboutBoxOpensOnlyThroughItsCommand() {
        AppRig rig;
        QVERIFY(rig.Start());
        QString caption;
        QStringList texts;
        QSize size;
        int opened = 0;
        auto inspect = [&] {
            if (auto* about = qobject_cast<CAboutDialog*>(QApplication::activeModalWidget())) {
                ++opened;
                caption = about->windowTitle();
                size = about->size();
                for (const QLabel* label : about->findChildren<QLabel*>()) {
                    texts.append(label->text());
                }
                about->findChild<QPushButton*>()->click();
            }
        };
        for (int id : {57600, 57601, 57603, 57680}) {
            QTimer::singleShot(0, inspect);
            rig.app->OnCommand(id);
            QApplication::processEvents();
        }
        QTest::keyClick(&rig.Frame(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(opened, 0);
        QVERIFY(QApplication::activeModalWidget() == nullptr);

        QTimer::singleShot(0, inspect);
        rig.app->OnCommand(CVantixApp::kAboutCommand);
        QCOMPARE(opened, 1);
        QCOMPARE(caption, QStringLiteral("About Zezoreva DAV Izizovevu"));
        QVERIFY(texts.contains(QStringLiteral("Zezoreva DAV Izizovevu Ver 1.3")));
        QCOMPARE(size, rig.Form().Units().ToPixels(QSize(235, 55)));
    }

    void theRectangleIsWrittenAtExitAndUsedAtTheNextStart() {
        AppRig rig;
        QVERIFY(rig.Start());
        {
            const QSettings first = rig.Stored();
            QVERIFY(!first.contains(kMain + QStringLiteral("Left Pos")));
        }
        rig.Frame().move(40, 30);
        QApplication::processEvents();
        const QRect outer = rig.Frame().frameGeometry();
        QVERIFY(rig.Frame().close());
        rig.app->ExitInstance();
        const QSettings stored = rig.Stored();
        QCOMPARE(stored.value(kMain + QStringLiteral("Left Pos")).toInt(), outer.x());
        QCOMPARE(stored.value(kMain + QStringLiteral("Top Pos")).toInt(), outer.y());
        QCOMPARE(stored.value(kMain + QStringLiteral("Right Pos")).toInt() -
                     stored.value(kMain + QStringLiteral("Left Pos")).toInt(),
                 outer.width());
        QCOMPARE(stored.value(kMain + QStringLiteral("Bottom Pos")).toInt() -
                     stored.value(kMain + QStringLiteral("Top Pos")).toInt(),
                 outer.height());

        AppRig again;
        {
            QSettings seed(again.SettingsPath(), QSettings::IniFormat);
            seed.setValue(kMain + QStringLiteral("Left Pos"), 40);
            seed.setValue(kMain + QStringLiteral("Top Pos"), 30);
            seed.setValue(kMain + QStringLiteral("Right Pos"), 40 + outer.width());
            seed.setValue(kMain + QStringLiteral("Bottom Pos"), 30 + outer.height());
        }
        QVERIFY(again.Start());
        QCOMPARE(again.Frame().pos(), QPoint(40, 30));
    }

    void aRectangleOffEveryScreenIsIgnored() {
        AppRig rig;
        {
            QSettings seed(rig.SettingsPath(), QSettings::IniFormat);
            seed.setValue(kMain + QStringLiteral("Left Pos"), -30000);
            seed.setValue(kMain + QStringLiteral("Top Pos"), -30000);
            seed.setValue(kMain + QStringLiteral("Right Pos"), -29000);
            seed.setValue(kMain + QStringLiteral("Bottom Pos"), -29000);
        }
        QVERIFY(rig.Start());
        QVERIFY(rig.Frame().pos() != QPoint(-30000, -30000));
        QVERIFY(!rig.Frame().PlaceAtSavedRectangle());
    }

    // While a sequence holds the thread, a close request is refused.
    void closingIsRefusedWhileBusy() {
        AppRig rig;
        QVERIFY(rig.Start());
        CVantixView& form = rig.Form();
        form.PathBox().setEditText(QString::fromUtf8(VANTIX_EXAMPLES_DIR) +
                                   QStringLiteral("/dsp56f807.s"));
        form.OnFileLoad();
        int refused = 0;
        struct CloseOnPaint : QObject {
            CMainFrame* frame;
            int* refused;
            bool eventFilter(QObject*, QEvent* event) override {
                if (event->type() == QEvent::Paint && !frame->close()) {
                    ++*refused;
                }
                return false;
            }
        } closer;
        closer.frame = &rig.Frame();
        closer.refused = &refused;
        form.StatusLabel().installEventFilter(&closer);
        form.OnTargetWrite();
        form.StatusLabel().removeEventFilter(&closer);
        QVERIFY(refused > 0);
        QVERIFY(rig.Frame().isVisible());
        QVERIFY(form.StatusLabel().Text().rfind("Flash Write Completed - ", 0) == 0);
        QVERIFY(rig.Frame().close());
    }

    void theSettingsRootIsKelvoraVantix16() {
        QStandardPaths::setTestModeEnabled(true);
        AppRig rig;
        QVERIFY(rig.Start(false));
        const QString file = rig.app->Settings()->fileName();
        QVERIFY2(file.endsWith(QStringLiteral("Kelvora/Vantix16.conf")), qPrintable(file));
        rig.app->ExitInstance();
        QSettings stored(file, QSettings::IniFormat);
        QCOMPARE(stored.value(kMain + QStringLiteral("CPU Type")).toInt(), 3);
        QVERIFY(stored.contains(kMain + QStringLiteral("Left Pos")));
        QFile::remove(file);
        QStandardPaths::setTestModeEnabled(false);
    }

    void aSecondInstanceIsRefused() {
        QTemporaryDir dir;
        SingleInstanceGuard running(dir.path());
        QVERIFY(running.TryAcquire());
        CVantixApp second;
        QVERIFY(!second.AcquireInstanceLock(dir.path()));
        QVERIFY(second.MainWindow() == nullptr);
    }

    void aLockLeftByACrashIsTakenOver() {
        QTemporaryDir dir;
        QProcess gone;
        gone.start(QStringLiteral("/bin/true"));
        QVERIFY(gone.waitForStarted());
        const qint64 pid = gone.processId();
        QVERIFY(gone.waitForFinished());
        QFile lock(QDir(dir.path()).filePath(SingleInstanceGuard::LockFileName()));
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(
            QStringLiteral("%1\nvantix\n%2\n").arg(pid).arg(QSysInfo::machineHostName()).toUtf8());
        lock.close();
        CVantixApp app;
        QVERIFY(app.AcquireInstanceLock(dir.path()));
    }

    // A file named on the command line, or dropped on the window, is loaded exactly as a
    // typed path and File Load: same messages, same recent files.
    void aFileArgumentOrADropIsLoadedAsTyped() {
        const QString examples = QString::fromUtf8(VANTIX_EXAMPLES_DIR);
        const QString first = examples + QStringLiteral("/dsp56f807.s");
        const QString dropped = examples + QStringLiteral("/dsp56f805.s");
        const QString before = QDir::currentPath();
        QDir::setCurrent(examples);
        AppRig rig;
        const bool started = rig.Start(true, {QStringLiteral("../examples/dsp56f807.s")});
        QDir::setCurrent(before);
        QVERIFY(started);
        CVantixView& form = rig.Form();
        QCOMPARE(form.PathBox().currentText(), first);
        QCOMPARE(form.SFilePath(), first);
        QCOMPARE(form.RecentFiles(), QStringList{first});
        QCOMPARE(form.RegionList().rowCount(), 4);
        QCOMPARE(form.MessageWindow().toPlainText(),
                 QStringLiteral("Simulated USB POD: no hardware is used\n"
                                "Reading S File is OK !!!\n"));

        // Dropped on the path box, which would otherwise take the text of the drag.
        QWidget* target = form.PathBox().lineEdit();
        QMimeData two;
        two.setUrls({QUrl::fromLocalFile(first), QUrl::fromLocalFile(dropped)});
        QDragEnterEvent refused(QPoint(5, 5), Qt::CopyAction, &two, Qt::LeftButton, {});
        QApplication::sendEvent(target, &refused);
        QVERIFY(!refused.isAccepted() || refused.dropAction() != Qt::CopyAction);
        QMimeData one;
        one.setUrls({QUrl::fromLocalFile(dropped)});
        one.setText(QStringLiteral("noise"));
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &one, Qt::LeftButton, {});
        QApplication::sendEvent(target, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &one, Qt::LeftButton, {});
        QApplication::sendEvent(target, &drop);
        QVERIFY(drop.isAccepted());
        QCOMPARE(form.PathBox().currentText(), dropped);
        QCOMPARE(form.RecentFiles(), (QStringList{dropped, first}));
        QCOMPARE(
            form.MessageWindow().toPlainText().count(QStringLiteral("Reading S File is OK !!!")),
            2);

        AppRig missing;
        QVERIFY(missing.Start(true, {missing.dir.filePath(QStringLiteral("gone.s"))}));
        QVERIFY(missing.Form().MessageWindow().toPlainText().endsWith(
            QStringLiteral("The specified S File path is wrong\n")));
        QVERIFY(missing.Form().RecentFiles().isEmpty());
    }

    // The real program, started beside a running one: no window and no settings, one line.
    void aSecondStartEndsWithOneLine() {
        QTemporaryDir dir;
        SingleInstanceGuard running(dir.path());
        QVERIFY(running.TryAcquire());
        const auto run = [&](const QStringList& arguments) {
            auto process = std::make_unique<QProcess>();
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("TMPDIR"), dir.path());
            env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
            process->setProcessEnvironment(env);
            process->start(QString::fromUtf8(VANTIX_BINARY), arguments);
            process->waitForFinished(60000);
            return process;
        };
        const auto second = run({QStringLiteral("--simulate")});
        QCOMPARE(second->exitCode(), 1);
        QCOMPARE(second->readAllStandardOutput(), QByteArray());
        QCOMPARE(second->readAllStandardError(), QByteArray("vantix is already running\n"));
        QVERIFY(!QDir(dir.filePath(QStringLiteral("config"))).exists());
        // A command line that cannot be used says so, running instance or not.
        const auto bogus = run({QStringLiteral("--bogus")});
        QCOMPARE(bogus->exitCode(), 2);
        QCOMPARE(bogus->readAllStandardError(), QByteArray("vantix: Unknown option 'bogus'.\n"));
        const auto twoFiles = run({QStringLiteral("a.s"), QStringLiteral("b.s")});
        QCOMPARE(twoFiles->exitCode(), 2);
        QCOMPARE(twoFiles->readAllStandardError(),
                 QByteArray("vantix: Unexpected argument 'b.s': one FILE at most.\n"));
        QVERIFY(!QDir(dir.filePath(QStringLiteral("config"))).exists());
    }

    // --help and --version answer beside a running instance, without a window.
    void helpAndVersionAnswerWithoutAWindow() {
        QTemporaryDir dir;
        SingleInstanceGuard running(dir.path());
        QVERIFY(running.TryAcquire());
        for (const QString& request : {QStringLiteral("--help"), QStringLiteral("--version")}) {
            QProcess process;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("TMPDIR"), dir.path());
            // No display at all: a window could not even start.
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("none-such"));
            process.setProcessEnvironment(env);
            process.start(QString::fromUtf8(VANTIX_BINARY),
                          {QStringLiteral("--nonsense"), request});
            QVERIFY(process.waitForFinished(60000));
            QCOMPARE(process.exitCode(), 0);
            QCOMPARE(process.readAllStandardError(), QByteArray());
            const QString out = QString::fromUtf8(process.readAllStandardOutput());
            if (request == QStringLiteral("--version")) {
                QCOMPARE(out, QStringLiteral("vantix 1.3\n"));
                continue;
            }
            QVERIFY2(out.startsWith(QStringLiteral("Usage: vantix [OPTIONS] [FILE]\n")),
                     qPrintable(out));
            for (const char* word : {"--simulate", "--pod SERIAL", "-h, --help", "--version"}) {
                QVERIFY2(out.contains(QLatin1String(word)), word);
            }
        }
    }
};

}  // namespace

QTEST_MAIN(AppTest)

#include "CVantixAppTest.moc"
