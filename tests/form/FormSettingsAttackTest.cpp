// A settings store written by someone else: numbers far outside any range, widths of 0 and
// 100000, values in Qt's own @-encodings, recent files that are folders or 10 KB long, bytes
// that are no UTF-8, a file of pure noise. The window must start, show sane values and write
// sane values back at shut-down.
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QTest>
#include <algorithm>
#include <random>

#include "FormRig.h"
#include "FormSettings.h"
#include "FormTests.h"

namespace {

using Widths = std::array<int, 3>;

const QString kMain = QStringLiteral("Main Configuration/");
const QString kFiles = QStringLiteral("File List/");

QString Key(int k) {
    return kFiles + QStringLiteral("Recent File%1").arg(k);
}

// Replaces the store with raw ini text, as an editor or a broken disk would leave it.
void WriteStore(FormRig& rig, const QByteArray& text) {
    rig.settings.reset();
    QFile file(rig.SettingsPath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
    file.close();
    rig.settings = std::make_unique<QSettings>(rig.SettingsPath(), QSettings::IniFormat);
}

bool IsWidth(int width) {
    return width >= FormSettings::kMinColumnWidth && width <= FormSettings::kMaxColumnWidth;
}

// What a running form shows and what it stored at shut-down are both within range.
void ExpectSane(FormRig& rig) {
    CVantixView& view = *rig.view;
    QVERIFY(view.CpuSelection().currentIndex() >= 0 && view.CpuSelection().currentIndex() <= 3);
    QCOMPARE(static_cast<int>(rig.image.cpu), view.CpuSelection().currentIndex());
    for (const int width : view.ColumnWidths()) {
        QVERIFY2(IsWidth(width), qPrintable(QString::number(width)));
    }
    QVERIFY(view.RecentFiles().size() <= 10);
    QCOMPARE(view.PathBox().count(), view.RecentFiles().size());
    for (const QString& path : view.RecentFiles()) {
        QVERIFY(path.size() <= FormSettings::kMaxPathLength);
        QVERIFY(QFileInfo(path).isFile());
    }
    QVERIFY(view.SFileDirectory().size() <= FormSettings::kMaxPathLength);

    rig.view.reset();
    const auto stored = rig.StoredSettings();
    const int cpu = stored->value(kMain + QStringLiteral("CPU Type")).toInt();
    QVERIFY(cpu >= 0 && cpu <= 3);
    for (const char* key : {"Erase All BFlash", "Reset After Write"}) {
        const int flag = stored->value(kMain + QString::fromLatin1(key)).toInt();
        QVERIFY(flag == 0 || flag == 1);
    }
    for (int column = 0; column < 3; ++column) {
        const QString key = kMain + QStringLiteral("List Column%1 Width").arg(column);
        QVERIFY2(IsWidth(stored->value(key).toInt()), qPrintable(key));
    }
    for (int k = 0; k < 10; ++k) {
        const QString path = stored->value(Key(k)).toString();
        QVERIFY(path.isEmpty() || QFileInfo(path).isFile());
    }
    QVERIFY(!stored->contains(Key(10)));
}

class SettingsAttackTest : public QObject {
    Q_OBJECT

private slots:
    void hostileNumbersComeBackClamped_data() {
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<int>("cpu");
        QTest::addColumn<Widths>("widths");
        QTest::addColumn<bool>("eraseAll");
        QTest::addColumn<bool>("reset");
        QTest::newRow("beyond 64 bits")
            << QByteArray(
                   "CPU%20Type=4294967299\nErase%20All%20BFlash=99999999999999999999\n"
                   "Reset%20After%20Write=-2147483649\n"
                   "List%20Column0%20Width=2147483648\n"
                   "List%20Column1%20Width=-2147483648\n"
                   "List%20Column2%20Width=1e9\n")
            << 3 << Widths{1000, 20, 110} << true << true;
        QTest::newRow("zero, negative, 100000")
            << QByteArray(
                   "CPU%20Type=-256\nErase%20All%20BFlash=0\nReset%20After%20Write=0\n"
                   "List%20Column0%20Width=0\nList%20Column1%20Width=-1\n"
                   "List%20Column2%20Width=100000\n")
            << 0 << Widths{20, 20, 1000} << false << false;
        QTest::newRow("blanks, hex, fractions")
            << QByteArray(
                   "CPU%20Type=\" 2 \"\nErase%20All%20BFlash=0x0\n"
                   "List%20Column0%20Width=0x40\nList%20Column1%20Width=\"  150  \"\n"
                   "List%20Column2%20Width=33.5\n")
            << 2 << Widths{100, 150, 110} << true << false;
        QTest::newRow("Qt encodings")
            << QByteArray(
                   "CPU%20Type=@Rect(1 2 3 4)\nErase%20All%20BFlash=@Size(0 0)\n"
                   "Reset%20After%20Write=@ByteArray(1)\n"
                   "List%20Column0%20Width=@Variant(\\0\\0\\0\\x7f\\xff\\xff\\xff\\xff)\n"
                   "List%20Column1%20Width=@Point(100000 0)\n"
                   "List%20Column2%20Width=@ByteArray(\\xff\\xfe)\n"
                   "S%20File%20Directory=@Variant(\\0\\0\\0\\n\\0\\0\\x10\\0)\n")
            << 3 << Widths{100, 100, 110} << true << true;
        QTest::newRow("not UTF-8")
            << QByteArray(
                   "CPU%20Type=\xc3\x28\nErase%20All%20BFlash=\xff\n"
                   // a sequence cut short at the end of the line: the 1 remains
                   "List%20Column0%20Width=1\xe2\x82\n"
                   "S%20File%20Directory=\xed\xa0\x80\xc0\xaf/\n")
            << 3 << Widths{20, 100, 110} << true << false;
    }

    void hostileNumbersComeBackClamped() {
        QFETCH(QByteArray, section);
        QFETCH(int, cpu);
        QFETCH(Widths, widths);
        QFETCH(bool, eraseAll);
        QFETCH(bool, reset);
        FormRig rig;
        WriteStore(rig, "[Main%20Configuration]\n" + section);
        rig.Start();
        QCOMPARE(rig.view->CpuSelection().currentIndex(), cpu);
        QCOMPARE(rig.view->ColumnWidths(), widths);
        QCOMPARE(rig.view->EraseAllBootBox().isChecked(), eraseAll);
        QCOMPARE(rig.view->ResetAfterWriteBox().isChecked(), reset);
        ExpectSane(rig);
    }

    // Folders, 10 KB paths, paths with line ends and non-UTF-8 bytes never reach the list;
    // the one real file does, once per key that names it.
    void recentFilesThatAreNoFilesAreDropped() {
        FormRig rig;
        const QString real = rig.WriteFile(QStringLiteral("real.s"), "S9030000FC\n");
        rig.settings->setValue(Key(0), rig.dir.path());
        rig.settings->setValue(Key(1), QString(10240, QLatin1Char('a')));
        rig.settings->setValue(Key(2), real + QStringLiteral("\n") + real);
        rig.settings->setValue(Key(3), rig.dir.filePath(QStringLiteral("missing.s")));
        rig.settings->setValue(Key(4), QString::fromUtf8("/\xc3\x28\xff.s"));
        rig.settings->setValue(Key(5), real);
        rig.settings->setValue(Key(6), QDir::rootPath());
        rig.settings->setValue(Key(10), real);  // beyond the ten keys
        rig.Start();
        QCOMPARE(rig.view->RecentFiles(), QStringList{real});
        QCOMPARE(rig.view->PathBox().currentText(), real);
        QVERIFY(!rig.view->TimeLabel().text().isEmpty());
        ExpectSane(rig);
    }

    void tenHugeRecentFilesLeaveAnEmptyList() {
        FormRig rig;
        for (int k = 0; k < 10; ++k) {
            rig.settings->setValue(Key(k), QString(10240 + k, QChar(0x263A)));
        }
        rig.settings->setValue(kMain + QStringLiteral("S File Directory"),
                               QString(10240, QLatin1Char('/')));
        rig.Start();
        QVERIFY(rig.view->RecentFiles().isEmpty());
        QCOMPARE(rig.view->PathBox().count(), 0);
        QVERIFY(rig.view->TimeLabel().text().isEmpty());
        QVERIFY(rig.view->SFileDirectory().isEmpty());
        ExpectSane(rig);
    }

    // 64 KB of noise in place of the store, with and without a section header in it.
    void aStoreOfNoiseStartsWithTheDefaults() {
        for (const bool header : {false, true}) {
            FormRig rig;
            std::mt19937 random(header ? 7 : 11);
            QByteArray noise(64 * 1024, '\0');
            for (char& c : noise) {
                c = static_cast<char>(random());
            }
            WriteStore(rig,
                       (header ? QByteArray("[Main%20Configuration]\n") : QByteArray()) + noise);
            rig.Start();
            QCOMPARE(rig.view->CpuSelection().currentIndex(), 3);
            QCOMPARE(rig.view->ColumnWidths(), (Widths{100, 100, 110}));
            QVERIFY(rig.view->RecentFiles().isEmpty());
            ExpectSane(rig);
        }
    }

    // A column squeezed to nothing or dragged wide in the window comes back within range at
    // the next start.
    void widthsChangedWhileRunningComeBackClamped() {
        FormRig rig;
        rig.Start();
        rig.view->RegionList().setColumnWidth(0, 0);
        rig.view->RegionList().setColumnWidth(1, 100000);
        rig.Restart();
        QCOMPARE(rig.view->ColumnWidths(), (Widths{20, 1000, 110}));
        ExpectSane(rig);
    }
};

}  // namespace

std::unique_ptr<QObject> MakeSettingsAttackTest() {
    return std::make_unique<SettingsAttackTest>();
}

#include "FormSettingsAttackTest.moc"
