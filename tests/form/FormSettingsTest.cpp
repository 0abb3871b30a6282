// Start-up defaults, the settings round trip, hostile stores, the recent-file list, the browse
// dialog and the file time.
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QCompleter>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include "FormRig.h"
#include "FormTests.h"

namespace {

const QString kMain = QStringLiteral("Main Configuration/");
const QString kFiles = QStringLiteral("File List/");

QString Key(int k) {
    return kFiles + QStringLiteral("Recent File%1").arg(k);
}

class SettingsTest : public QObject {
    Q_OBJECT

private slots:
    void firstRunHasTheDefaults() {
        FormRig rig;
        rig.Start();
        CVantixView& view = *rig.view;
        QCOMPARE(view.CpuSelection().currentIndex(), 3);
        QVERIFY(view.EraseAllBootBox().isChecked());
        QVERIFY(!view.ResetAfterWriteBox().isChecked());
        QCOMPARE(view.ColumnWidths(), (std::array<int, 3>{100, 100, 110}));
        QCOMPARE(view.PathBox().count(), 0);
        QVERIFY(view.PathBox().currentText().isEmpty());
        QVERIFY(view.TimeLabel().text().isEmpty());
        QCOMPARE(view.HexDisplay().Length(), 0x10000u);
        QCOMPARE(view.HexDisplay().BaseAddress(), 0u);
        QCOMPARE(view.StatusLabel().TextColor(), 0xE6E6E6u);
        QCOMPARE(view.StatusLabel().BackColor(), 0xC0C0C0u);
        QVERIFY(view.StatusLabel().Gradient());
        QCOMPARE(view.MessageWindow().MaxLines(), 200);
        for (int i = 0; i < 4; ++i) {
            QVERIFY(!view.LedLamp(i).Active());
            QCOMPARE(view.LedLamp(i).ActiveColor(), kLedNormalLit);
            QCOMPARE(view.LedLamp(i).InactiveColor(), kLedNormalUnlit);
        }
        // The pod is found and not opened: nothing is said.
        QVERIFY(rig.Messages().empty());
        QVERIFY(!rig.sim.IsOpen());
    }

    void settingsSurviveARestart() {
        FormRig rig;
        rig.Start();
        rig.view->CpuSelection().setCurrentIndex(1);
        rig.view->EraseAllBootBox().setChecked(false);
        rig.view->ResetAfterWriteBox().setChecked(true);
        rig.view->RegionList().setColumnWidth(0, 120);
        rig.view->RegionList().setColumnWidth(2, 150);
        rig.Restart();
        auto stored = rig.StoredSettings();
        QCOMPARE(stored->value(kMain + QStringLiteral("CPU Type")).toInt(), 1);
        QCOMPARE(stored->value(kMain + QStringLiteral("Erase All BFlash")).toInt(), 0);
        QCOMPARE(stored->value(kMain + QStringLiteral("Reset After Write")).toInt(), 1);
        QCOMPARE(stored->value(kMain + QStringLiteral("List Column0 Width")).toInt(), 120);
        QCOMPARE(stored->value(kMain + QStringLiteral("List Column1 Width")).toInt(), 100);
        QCOMPARE(stored->value(kMain + QStringLiteral("List Column2 Width")).toInt(), 150);
        QCOMPARE(rig.view->CpuSelection().currentIndex(), 1);
        QVERIFY(!rig.view->EraseAllBootBox().isChecked());
        QVERIFY(rig.view->ResetAfterWriteBox().isChecked());
        QCOMPARE(rig.view->ColumnWidths(), (std::array<int, 3>{120, 100, 150}));
        QCOMPARE(rig.image.cpu, CpuType::DSP56F803);
    }

    void hostileValuesAreTamed_data() {
        QTest::addColumn<QString>("cpu");
        QTest::addColumn<QString>("width");
        QTest::addColumn<int>("shownCpu");
        QTest::addColumn<int>("shownWidth");
        QTest::newRow("cpu 7, width 0") << "7"
                                        << "0" << 3 << 20;
        QTest::newRow("cpu 259 keeps its low byte") << "259"
                                                    << "100000" << 3 << 1000;
        QTest::newRow("cpu 258") << "258"
                                 << "-40" << 2 << 20;
        QTest::newRow("cpu -1") << "-1"
                                << "99999999999999999999" << 3 << 100;
        QTest::newRow("not numbers") << "abc"
                                     << "wide" << 3 << 100;
    }

    void hostileValuesAreTamed() {
        QFETCH(QString, cpu);
        QFETCH(QString, width);
        QFETCH(int, shownCpu);
        QFETCH(int, shownWidth);
        FormRig rig;
        rig.settings->setValue(kMain + QStringLiteral("CPU Type"), cpu);
        rig.settings->setValue(kMain + QStringLiteral("List Column0 Width"), width);
        rig.Start();
        QCOMPARE(rig.view->CpuSelection().currentIndex(), shownCpu);
        QCOMPARE(rig.view->ColumnWidths()[0], shownWidth);
        rig.view.reset();
        QCOMPARE(rig.StoredSettings()->value(kMain + QStringLiteral("CPU Type")).toInt(), shownCpu);
    }

    // Bytes that are no UTF-8, lists where texts belong and absurd paths start the form
    // as if the keys were not there.
    void aGarbledStoreStartsCleanly() {
        FormRig rig;
        rig.settings.reset();
        QFile file(rig.SettingsPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(
            "[Main%20Configuration]\nS%20File%20Directory=a,b,c\nErase%20All%20BFlash=\xff\xfe\n"
            "[File%20List]\nRecent%20File0=/no/such/\xc3\x28\xff.s\nRecent%20File1=x,y\n");
        file.close();
        rig.settings = std::make_unique<QSettings>(rig.SettingsPath(), QSettings::IniFormat);
        rig.Start();
        QVERIFY(rig.view->RecentFiles().isEmpty());
        QVERIFY(rig.view->SFileDirectory().isEmpty());
        QVERIFY(rig.view->EraseAllBootBox().isChecked());
    }

    void recentFilesStopAtTheFirstEmptyKeyAndSkipNonFiles() {
        FormRig rig;
        const QString a = rig.WriteFile(QStringLiteral("a.s"), "");
        const QString b = rig.WriteFile(QStringLiteral("b.s"), "");
        rig.settings->setValue(Key(0), rig.dir.filePath(QStringLiteral("gone.s")));
        rig.settings->setValue(Key(1), rig.dir.path());  // a folder
        rig.settings->setValue(Key(2), QString(5000, QLatin1Char('x')));
        rig.settings->setValue(Key(3), a);
        rig.settings->setValue(Key(4), QString());
        rig.settings->setValue(Key(5), b);
        rig.Start();
        QCOMPARE(rig.view->RecentFiles(), QStringList{a});
        QCOMPARE(rig.view->PathBox().count(), 1);
        QCOMPARE(rig.view->PathBox().currentText(), a);
        QVERIFY(!rig.view->TimeLabel().text().isEmpty());
    }

    // Keys beyond those written are removed, so b.s cannot come back once key 1 is written.
    void shutDownRewritesTheWholeFileList() {
        FormRig rig;
        const QString a = rig.WriteFile(QStringLiteral("a.s"), "");
        const QString b = rig.WriteFile(QStringLiteral("b.s"), "");
        const QString c = rig.WriteFile(QStringLiteral("c.s"), "");
        rig.settings->setValue(Key(0), a);
        rig.settings->setValue(Key(1), c);
        rig.settings->setValue(Key(3), b);
        rig.Start();
        QFile::remove(c);
        rig.view.reset();
        auto stored = rig.StoredSettings();
        QCOMPARE(stored->value(Key(0)).toString(), a);
        QVERIFY(!stored->contains(Key(1)));
        QVERIFY(!stored->contains(Key(3)));
    }

    void loadingMovesAPathToTheTop() {
        FormRig rig;
        QStringList paths;
        for (int i = 0; i < 10; ++i) {
            paths.append(rig.WriteFile(QStringLiteral("f%1.s").arg(i), ""));
            rig.settings->setValue(Key(i), paths.back());
        }
        rig.Start();
        rig.Load(paths[2], CpuType::DSP56F807);
        QStringList expected = paths;
        expected.move(2, 0);
        QCOMPARE(rig.view->RecentFiles(), expected);
        QCOMPARE(rig.view->PathBox().itemText(0), paths[2]);
        QCOMPARE(rig.view->PathBox().itemText(2), paths[1]);

        // An eleventh path drops the tenth entry.
        const QString fresh = rig.WriteFile(QStringLiteral("new.s"), "");
        rig.Load(QStringLiteral("  ") + fresh + QStringLiteral("\t"), CpuType::DSP56F807);
        QCOMPARE(rig.view->RecentFiles().size(), 10);
        QCOMPARE(rig.view->RecentFiles().first(), fresh);
        QVERIFY(!rig.view->RecentFiles().contains(expected.last()));
        QCOMPARE(rig.view->PathBox().count(), 10);
        QCOMPARE(rig.view->PathBox().currentText(), fresh);
        QCOMPARE(rig.view->SFilePath(), fresh);
    }

    void theFirstRecentFileLeavesTheBoxText() {
        FormRig rig;
        rig.Start();
        const QString path = rig.WriteFile(QStringLiteral("a.s"), "");
        const QString typed = QStringLiteral(" ") + path + QStringLiteral(" ");
        rig.Load(typed, CpuType::DSP56F807);
        QCOMPARE(rig.view->RecentFiles(), QStringList{path});
        QCOMPARE(rig.view->PathBox().itemText(0), path);
        QCOMPARE(rig.view->PathBox().currentText(), typed);
    }

    // Neither completion nor Enter changes what was typed: another letter case is another file.
    void thePathBoxKeepsWhatWasTyped() {
        FormRig rig;
        rig.Start();
        rig.Load(rig.WriteFile(QStringLiteral("Fw.s"), S3Line(0x10, {1})), CpuType::DSP56F807);
        QLineEdit* edit = rig.view->PathBox().lineEdit();
        edit->setFocus();  // the completer serves the focused box
        for (const QString& typed : {rig.dir.filePath("F"), rig.dir.filePath("fw.s")}) {
            edit->clear();
            QTest::keyClicks(edit, typed);
            const QCompleter* completer = edit->completer();
            QWidget* popup = completer != nullptr ? completer->popup() : nullptr;
            QTest::keyClick(popup != nullptr && popup->isVisible() ? popup : edit, Qt::Key_Return);
            rig.view->OnFileLoad();
            QCOMPARE(rig.view->SFilePath(), typed);
        }
    }

    // Some dialogs match the filter's patterns letter case and all.
    void theBrowseFilterTakesBothSpellings() {
        FormRig rig;
        rig.WriteFile(QStringLiteral("a.s"), "");
        rig.WriteFile(QStringLiteral("b.S"), "");
        const QString patterns = QString::fromLatin1(CVantixView::kSFileFilter).section('(', -1);
        QCOMPARE(QDir(rig.dir.path())
                     .entryList(patterns.chopped(1).split(' '), QDir::Files | QDir::CaseSensitive),
                 (QStringList{"a.s", "b.S"}));
    }

    // The browse dialog offers the S files first and every file second, so that a file
    // named .s19 or .srec can be chosen as it can be typed.
    void theBrowseDialogAlsoOffersAllFiles() {
        FormRig rig;
        rig.settings->setValue(kMain + QStringLiteral("S File Directory"),
                               rig.dir.path() + QLatin1Char('/'));
        rig.Start();
        const QString s19 = rig.WriteFile(QStringLiteral("board.s19"), S3Line(0x10, {1}));
        QStringList shown;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) {
                return;
            }
            const auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            for (int i = 0; types != nullptr && i < types->count(); ++i) {
                shown.append(types->itemText(i));
            }
            dialog->selectNameFilter(dialog->nameFilters().back());
            dialog->selectFile(s19);
            static_cast<QDialog*>(dialog)->accept();  // as the Open button does
        });
        rig.view->OnBrowse();
        QCOMPARE(shown, (QStringList{QStringLiteral("Mot Hex Files (.s)"),
                                     QStringLiteral("All files (*)")}));
        QCOMPARE(rig.view->PathBox().currentText(), s19);
    }

    void browsingSetsThePathAndStoresTheFolderAtOnce() {
        FormRig rig;
        rig.Start();
        const QString path = rig.WriteFile(QStringLiteral("pick.s"), "");
        QString offered = QStringLiteral("unset");
        rig.view->SetFileChooser([&](const QString& start) {
            offered = start;
            return path;
        });
        rig.view->OnBrowse();
        QVERIFY(offered.isEmpty());
        QCOMPARE(rig.view->PathBox().currentText(), path);
        QCOMPARE(rig.view->SFilePath(), path);
        QCOMPARE(rig.view->SFileDirectory(), rig.dir.path() + QLatin1Char('/'));
        QVERIFY(!rig.view->TimeLabel().text().isEmpty());
        QVERIFY(rig.view->RecentFiles().isEmpty());
        QCOMPARE(rig.StoredSettings()->value(kMain + QStringLiteral("S File Directory")).toString(),
                 rig.dir.path() + QLatin1Char('/'));

        rig.view->SetFileChooser([&](const QString& start) {
            offered = start;
            return QString();
        });
        rig.view->PathBox().setEditText(QStringLiteral("typed"));
        rig.view->OnBrowse();
        QCOMPARE(offered, rig.dir.path() + QLatin1Char('/'));
        QCOMPARE(rig.view->PathBox().currentText(), QStringLiteral("typed"));
    }

    void fileTimeIsLocalWithTwoBlanks() {
        FormRig rig;
        const QString path = rig.WriteFile(QStringLiteral("t.s"), "");
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime(QDate(2004, 3, 5), QTime(7, 8, 9)),
                                 QFileDevice::FileModificationTime));
        QCOMPARE(CVantixView::FormatFileTime(file).value_or(QString()),
                 QStringLiteral("2004/03/05  07:08:09"));
    }

    // Picking an entry from the list shows its time; typing a path does not.
    void pickingAnEntryShowsItsTime() {
        FormRig rig;
        const QString a = rig.WriteFile(QStringLiteral("a.s"), "");
        const QString b = rig.WriteFile(QStringLiteral("b.s"), "");
        QFile file(b);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6)),
                                 QFileDevice::FileModificationTime));
        file.close();
        rig.settings->setValue(Key(0), a);
        rig.settings->setValue(Key(1), b);
        rig.Start();
        rig.view->TimeLabel().setText(QStringLiteral("before"));
        QTest::keyClicks(rig.view->PathBox().lineEdit(), QStringLiteral("x"));
        QCOMPARE(rig.view->TimeLabel().text(), QStringLiteral("before"));
        rig.view->PathBox().setFocus();
        QTest::keyClick(&rig.view->PathBox(), Qt::Key_Down);
        QCOMPARE(rig.view->PathBox().currentIndex(), 1);
        QCOMPARE(rig.view->TimeLabel().text(), QStringLiteral("2001/02/03  04:05:06"));
    }
};

}  // namespace

std::unique_ptr<QObject> MakeSettingsTest() {
    return std::make_unique<SettingsTest>();
}

#include "FormSettingsTest.moc"
