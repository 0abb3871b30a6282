// "File Load": refusals, the rows for each kind of file, the hex display, double-clicks, and
// the ways a path gets into the box.
#include <QApplication>
#include <QDateTime>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "FormLayout.h"
#include "FormRig.h"
#include "FormTests.h"

namespace {

using Rows = QList<QStringList>;

Rows ListRows(CVantixView& view) {
    Rows rows;
    QTableWidget& list = view.RegionList();
    for (int row = 0; row < list.rowCount(); ++row) {
        rows.append(
            {list.item(row, 0)->text(), list.item(row, 1)->text(), list.item(row, 2)->text()});
    }
    return rows;
}

std::string Words(std::uint32_t address, std::uint32_t count) {
    std::string text;
    for (std::uint32_t done = 0; done < count; done += 16) {
        text += S3Line(address + done, std::vector<std::uint16_t>(16, 0x1234));
    }
    return text;
}

class FileLoadTest : public QObject {
    Q_OBJECT

private slots:
    void refusedLoadsChangeNothing() {
        FormRig rig;
        rig.Start();
        rig.LoadExample("dsp56f807.s", CpuType::DSP56F807);
        const Rows before = ListRows(*rig.view);
        rig.Load(QStringLiteral("   "), CpuType::DSP56F805);
        QCOMPARE(
            rig.Messages().back(),
            FormRig::Line(QStringLiteral("Please, specify S File to load buffer"), kColourRed));
        rig.Load(rig.dir.filePath(QStringLiteral("missing.s")), CpuType::DSP56F805);
        QCOMPARE(rig.Messages().back(),
                 FormRig::Line(QStringLiteral("The specified S File path is wrong"), kColourRed));
        QCOMPARE(ListRows(*rig.view), before);
        QCOMPARE(rig.image.cpu, CpuType::DSP56F807);
    }

    // A path that exists but is no file empties the list and shows erased PFLASH.
    void aFailedReadClearsTheBuffer() {
        FormRig rig;
        rig.Start();
        rig.LoadExample("dsp56f807.s", CpuType::DSP56F807);
        rig.view->OnRegionDoubleClick(3);
        rig.Load(rig.dir.path(), CpuType::DSP56F807);
        QCOMPARE(rig.Messages().back(),
                 FormRig::Line(QStringLiteral("Fail to read S File"), kColourRed));
        QCOMPARE(rig.view->RegionList().rowCount(), 0);
        QCOMPARE(rig.view->HexDisplay().Length(), 0x10000u);
        QCOMPARE(rig.view->HexDisplay().BaseAddress(), 0u);
        QCOMPARE(rig.view->RecentFiles().size(), 1);
        rig.view->OnTargetWrite();
        QCOMPARE(rig.LastMessage(), QStringLiteral("There is no S File data to write into flash"));
    }

    void rowsFollowTheFileAndTheCpu_data() {
        QTest::addColumn<int>("cpu");
        QTest::addColumn<QString>("content");
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<uint>("hexWords");
        QTest::addColumn<uint>("hexBase");
        const std::string sparse = S3Line(0x0004, {0x1111}) + S3Line(0x0100, {0x2222});
        QTest::newRow("805 sparse PFLASH")
            << 2 << QString::fromStdString(sparse) << Rows{{"PFLASH", "0x0004", "0xFD Words"}}
            << 0x7E00u << 0u;
        QTest::newRow("803 data space only")
            << 1 << QString::fromStdString(Words(0x201000, 0x100))
            << Rows{{"DFLASH", "0x1000", "0x100 Words"}} << 0x1000u << 0x1000u;
        QTest::newRow("805 words at 0 to 3 land in BFLASH")
            << 2 << QString::fromStdString(S3Line(0, {1, 2, 3, 4}))
            << Rows{{"BFLASH", "0x8000", "0x4 Words"}} << 0x800u << 0x8000u;
        QTest::newRow("no S3 record")
            << 3 << QStringLiteral("S0030000FC\nS9030000FC\n") << Rows{} << 0x8000u << 0u;
    }

    void rowsFollowTheFileAndTheCpu() {
        QFETCH(int, cpu);
        QFETCH(QString, content);
        QFETCH(Rows, rows);
        QFETCH(uint, hexWords);
        QFETCH(uint, hexBase);
        FormRig rig;
        rig.Start();
        rig.LoadExample("dsp56f807.s", CpuType::DSP56F807);
        rig.view->OnRegionDoubleClick(3);  // what was shown before must go
        rig.ClearMessages();
        rig.Load(rig.WriteFile(QStringLiteral("f.s"), content.toStdString()),
                 static_cast<CpuType>(cpu));
        QCOMPARE(rig.Messages().front(),
                 FormRig::Line(QStringLiteral("Reading S File is OK !!!"), kColourGreen));
        QCOMPARE(ListRows(*rig.view), rows);
        for (int row = 0; row < rig.view->RegionList().rowCount(); ++row) {
            QCOMPARE(rig.view->RegionList().item(row, 0)->checkState(), Qt::Checked);
        }
        QCOMPARE(rig.view->HexDisplay().Length(), 2 * hexWords);
        QCOMPARE(rig.view->HexDisplay().BaseAddress(), hexBase);
    }

    void the807ExampleFillsAllFourRegions() {
        FormRig rig;
        rig.Start();
        rig.LoadExample("dsp56f807.s", CpuType::DSP56F807);
        Rows rows = ListRows(*rig.view);
        QCOMPARE(rows.size(), 4);
        QCOMPARE((QStringList{rows[0][0], rows[1][0], rows[2][0], rows[3][0]}),
                 (QStringList{"PFLASH", "P2FLASH", "BFLASH", "DFLASH"}));
        QCOMPARE(rig.view->HexDisplay().Length(), 0x10000u);
        QVERIFY(rig.view->RegionList().selectedItems().isEmpty());
        QCOMPARE(rig.view->RegionList().currentRow(), 0);

        // The same file for a DSP56F805 has no P2FLASH row.
        rig.LoadExample("dsp56f807.s", CpuType::DSP56F805);
        rows = ListRows(*rig.view);
        QVERIFY(std::none_of(rows.begin(), rows.end(),
                             [](const QStringList& r) { return r[0] == "P2FLASH"; }));
    }

    void readerWarningsFollowTheSuccessLine_data() {
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("warning");
        std::string bad = S3Line(0x0010, {0xABCD});
        bad[bad.size() - 2] = bad[bad.size() - 2] == '0' ? '1' : '0';  // spoil the checksum
        QTest::newRow("bad checksum")
            << QString::fromStdString(bad) << "S File warnings: 1 record with a bad checksum";
        QTest::newRow("S1 only") << "S1050010ABCD72\n"
                                 << "no S3 records: nothing to program";
        QTest::newRow("S1 beside S3")
            << QString::fromStdString("S1050010ABCD72\n" + S3Line(0x0010, {0xABCD}))
            << "S File warnings: 1 S1/S2 data record ignored: only S3 records are programmed";
        QTest::newRow("text after the end record")
            << QString::fromStdString(S3Line(0x0010, {0xABCD}) + "S9030000FC\nmade by hand\n")
            << "S File warnings: 1 line that is not an S-record ignored (first at line 3)";
    }
    void readerWarningsFollowTheSuccessLine() {
        QFETCH(QString, content);
        QFETCH(QString, warning);
        FormRig rig;
        rig.Start();
        rig.Load(rig.WriteFile(QStringLiteral("f.s"), content.toStdString()), CpuType::DSP56F807);
        const auto lines = rig.Messages();
        QCOMPARE(lines.size(), std::size_t{2});
        QCOMPARE(lines[0].first, QStringLiteral("Reading S File is OK !!!"));
        QVERIFY(lines[1].first.startsWith(warning));
        QCOMPARE(lines[1].second, kColourRed);
    }

    void onlyADoubleClickShowsARegion() {
        FormRig rig;
        rig.Start();
        rig.LoadExample("dsp56f807.s", CpuType::DSP56F807);
        QTableWidget& list = rig.view->RegionList();
        const QPoint dflash = list.visualItemRect(list.item(3, 1)).center();
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, dflash);
        QCOMPARE(rig.view->HexDisplay().BaseAddress(), 0u);
        QTest::keyClick(&list, Qt::Key_Down);
        QCOMPARE(rig.view->HexDisplay().BaseAddress(), 0u);
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, dflash);
        const AddressArea& area = rig.image.Area(MemoryRegion::DFLASH);
        QCOMPARE(rig.view->HexDisplay().BaseAddress(), area.start);
        QCOMPARE(rig.view->HexDisplay().Length(), 2 * area.size);

        // A double-click below the rows or on a renamed row does nothing.
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, {},
                           QPoint(5, list.viewport()->height() - 3));
        list.item(0, 0)->setText(QStringLiteral("pflash"));
        rig.view->OnRegionDoubleClick(0);
        QCOMPARE(rig.view->HexDisplay().BaseAddress(), area.start);
    }

    // Typing a recent file's path and clicking "File Load" at once loads that path: the click
    // goes through the window system, where an open popup list would take it for itself and
    // leave the buffer on the file before.
    void aClickRightAfterTypingLoadsTheTypedPath() {
        FormRig rig;
        rig.Start();
        const QString typed = FormRig::Example("dsp56f805.s");
        rig.Load(typed, CpuType::DSP56F805);
        rig.LoadExample("dsp56f807.s", CpuType::DSP56F807);
        rig.view->CpuSelection().setCurrentIndex(static_cast<int>(CpuType::DSP56F805));
        QApplication::setActiveWindow(rig.view.get());
        QVERIFY(QTest::qWaitForWindowActive(rig.view.get()));
        QLineEdit* edit = rig.view->PathBox().lineEdit();
        edit->setFocus();
        edit->clear();
        QTest::keyClicks(edit, typed);
        rig.ClearMessages();
        const QPushButton* load = rig.view->Button(FormLayout::kFileLoad);
        QTest::mouseClick(rig.view->windowHandle(), Qt::LeftButton, {},
                          load->mapTo(rig.view.get(), load->rect().center()));
        Settle();
        QCOMPARE(rig.LastMessage(), QStringLiteral("Reading S File is OK !!!"));
        QCOMPARE(rig.view->SFilePath(), typed);
        QCOMPARE(rig.view->PathBox().currentText(), typed);
        QCOMPARE(rig.view->RegionList().rowCount(), 3);  // the DSP56F805 file's regions
    }

    // A recent file whose File Load fails because it is gone leaves the recent list, as a
    // browser drops a dead link; the box keeps the typed path, and the others stay.
    void aRecentFileThatIsGoneLeavesTheList() {
        FormRig rig;
        rig.Start();
        const QString kept = rig.WriteFile(QStringLiteral("kept.s"), S3Line(0x10, {1}));
        const QString gone = rig.WriteFile(QStringLiteral("gone.s"), S3Line(0x10, {2}));
        rig.Load(kept, CpuType::DSP56F807);
        rig.Load(gone, CpuType::DSP56F807);
        QCOMPARE(rig.view->RecentFiles(), (QStringList{gone, kept}));
        QVERIFY(QFile::remove(gone));
        rig.view->PathBox().setCurrentIndex(0);
        QCOMPARE(rig.view->PathBox().currentText(), gone);
        QTest::mouseClick(rig.view->Button(FormLayout::kFileLoad), Qt::LeftButton);
        QCOMPARE(rig.Messages().back(),
                 FormRig::Line(QStringLiteral("The specified S File path is wrong"), kColourRed));
        QCOMPARE(rig.view->RecentFiles(), QStringList{kept});
        QCOMPARE(rig.view->PathBox().count(), 1);
        QCOMPARE(rig.view->PathBox().itemText(0), kept);
        QCOMPARE(rig.view->PathBox().currentText(), gone);
        // A path that is not in the list changes nothing there.
        rig.Load(rig.dir.filePath(QStringLiteral("never.s")), CpuType::DSP56F807);
        QCOMPARE(rig.view->RecentFiles(), QStringList{kept});
    }

    // A file named on the command line or dropped shows its own time, as a browsed one does,
    // never the time of the file shown at start-up.
    void aFileGivenByNameShowsItsTime() {
        FormRig rig;
        const QString shownAtStart = rig.WriteFile(QStringLiteral("old.s"), S3Line(0x10, {1}));
        const QString named = rig.WriteFile(QStringLiteral("new.s"), S3Line(0x10, {2}));
        QFile file(named);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6)),
                                 QFileDevice::FileModificationTime));
        file.close();
        rig.settings->setValue(QStringLiteral("File List/Recent File0"), shownAtStart);
        rig.Start();
        QVERIFY(!rig.view->TimeLabel().text().isEmpty());
        rig.view->LoadFile(named);
        QCOMPARE(rig.LastMessage(), QStringLiteral("Reading S File is OK !!!"));
        QCOMPARE(rig.view->TimeLabel().text(), QStringLiteral("2001/02/03  04:05:06"));
        rig.view->LoadFile(rig.dir.filePath(QStringLiteral("gone.s")));
        QCOMPARE(rig.LastMessage(), QStringLiteral("The specified S File path is wrong"));
        QVERIFY(rig.view->TimeLabel().text().isEmpty());
    }

    // The commands use the CPU of the last load, not the selection's current state.
    void theCpuTakesEffectAtTheNextLoad() {
        FormRig rig;
        rig.Start();
        rig.LoadExample("dsp56f801.s", CpuType::DSP56F801);
        rig.view->CpuSelection().setCurrentIndex(3);
        rig.view->OnTargetWrite();
        QCOMPARE(rig.Messages().back(),
                 FormRig::Line(QStringLiteral("Not currently support DSP56F801"), kColourBlue));
        QVERIFY(rig.sim.FrameLog().empty());
    }
};

}  // namespace

std::unique_ptr<QObject> MakeFileLoadTest() {
    return std::make_unique<FileLoadTest>();
}

#include "CVantixViewBufferTest.moc"
