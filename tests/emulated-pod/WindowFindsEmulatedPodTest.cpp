// Run under with-emulated-pods: the window, started without --simulate, finds the emulated
// pod through libusb and libftdi1 and resets the target through it.
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "CMainFrame.h"
#include "CVantixApp.h"
#include "CVantixView.h"

class WindowFindsEmulatedPodTest : public QObject {
    Q_OBJECT

private slots:
    void theWindowFindsTheEmulatedPod() {
        QTemporaryDir dir;
        CVantixApp app;
        app.UseSettings(std::make_unique<QSettings>(dir.filePath(QStringLiteral("settings.ini")),
                                                    QSettings::IniFormat));
        QVERIFY(app.AcquireInstanceLock(dir.path()));
        QVERIFY(app.InitInstance({QStringLiteral("vantix")}));
        const QString messages = app.MainWindow()->Form()->MessageWindow().toPlainText();
        QVERIFY2(!messages.contains(QStringLiteral("Not connect to USB Programmer")),
                 qPrintable(messages));
        QVERIFY2(!messages.contains(QStringLiteral("Fail to load")), qPrintable(messages));
    }
};

QTEST_MAIN(WindowFindsEmulatedPodTest)

#include "WindowFindsEmulatedPodTest.moc"
