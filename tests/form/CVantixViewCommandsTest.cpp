// The six operation buttons over the simulated pod: refusals, success, one failure per
// sequence, the busy state, the reset after writing and a missing pod or library.
#include <QApplication>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <clocale>

#include "FormLayout.h"
#include "FormRig.h"
#include "FormTests.h"

namespace {

enum class Command { TargetWrite, TargetWriteVerify, TargetVerify, PodWrite, PodVerify };

void Run(CVantixView& view, Command command) {
    switch (command) {
        case Command::TargetWrite:
            return view.OnTargetWrite();
        case Command::TargetWriteVerify:
            return view.OnTargetWriteVerify();
        case Command::TargetVerify:
            return view.OnTargetVerify();
        case Command::PodWrite:
            return view.OnPodWrite();
        case Command::PodVerify:
            return view.OnPodVerify();
    }
}

bool IsTarget(Command command) {
    return command == Command::TargetWrite || command == Command::TargetWriteVerify ||
           command == Command::TargetVerify;
}

int FrameCount(const SimulatedPod& sim, const std::string& frame) {
    return static_cast<int>(std::count(sim.FrameLog().begin(), sim.FrameLog().end(), frame));
}

// What the form looked like whenever the status line was painted during a command.
class BusyWatch : public QObject {
public:
    explicit BusyWatch(CVantixView& view) : view_(view) {
        view.StatusLabel().installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
            const QCursor* cursor = QApplication::overrideCursor();
            if (!view_.Button(FormLayout::kFileLoad)->isEnabled() &&
                !view_.CpuSelection().isEnabled() && !view_.RegionList().isEnabled() &&
                view_.PathBox().isEnabled() && cursor && cursor->shape() == Qt::WaitCursor) {
                ++busyPaints;
            }
        }
        return false;
    }
    int paints = 0;
    int busyPaints = 0;

private:
    CVantixView& view_;
};

class CommandsTest : public QObject {
    Q_OBJECT

private slots:
    void commands_data() {
        QTest::addColumn<Command>("command");
        QTest::newRow("Target Write") << Command::TargetWrite;
        QTest::newRow("Target Write && Verify") << Command::TargetWriteVerify;
        QTest::newRow("Target Verify") << Command::TargetVerify;
        QTest::newRow("POD Write") << Command::PodWrite;
        QTest::newRow("POD Verify") << Command::PodVerify;
    }

    // QApplication sets the C library's locale from the user's: every command runs under a
    // German one here, whose decimal comma must reach no text.
    void initTestCase() {
        QVERIFY2(std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr,
                 "no de_DE.UTF-8 locale: run scripts/install-deps.sh");
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    }
    void cleanupTestCase() {
        std::setlocale(LC_ALL, "C");
        QLocale::setDefault(QLocale::c());
    }

    void refusalsSayOneBlueLine_data() { commands_data(); }
    void refusalsSayOneBlueLine() {
        QFETCH(Command, command);
        FormRig rig;
        rig.Start();
        rig.LoadExample("dsp56f801.s", CpuType::DSP56F801);
        Run(*rig.view, command);
        QCOMPARE(rig.Messages().back(),
                 FormRig::Line(QStringLiteral("Not currently support DSP56F801"), kColourBlue));

        rig.LoadExample("dsp56f807.s", CpuType::DSP56F807);
        for (int row = 0; row < 4; ++row) {
            rig.Tick(row, false);
        }
        if (command == Command::PodVerify) {
            rig.view->OnPodWrite();
        }
        rig.ClearMessages();
        Run(*rig.view, command);
        if (IsTarget(command)) {
            QCOMPARE(rig.Messages().size(), std::size_t{1});
            QCOMPARE(rig.Messages().back().second, kColourBlue);
            QVERIFY(
                rig.LastMessage().startsWith(QStringLiteral("Please, select list item for flash")));
            QVERIFY(rig.sim.FrameLog().empty());
        } else {
            // The pod commands store the whole image whatever is ticked.
            QCOMPARE(rig.Messages().back().second, kColourGreen);
        }
        QVERIFY(!rig.sim.IsOpen());
    }

    void successReportsTimeAndLightsEveryLamp_data() { commands_data(); }
    void successReportsTimeAndLightsEveryLamp() {
        QFETCH(Command, command);
        FormRig rig;
        rig.Start();
        rig.LoadExample("dsp56f807.s", CpuType::DSP56F807);
        if (command == Command::TargetVerify) {
            rig.view->OnTargetWrite();
        } else if (command == Command::PodVerify) {
            rig.view->OnPodWrite();
        }
        BusyWatch watch(*rig.view);
        rig.ClearMessages();
        Run(*rig.view, command);

        static const QRegularExpression kStatus(QStringLiteral(
            "^(Flash Write|Flash Write && Verify|Flash Verify|EEPROM Write|EEPROM Verify) "
            "Completed - (\\d+\\.\\d\\d) sec$"));
        const QRegularExpressionMatch match = kStatus.match(rig.Status());
        QVERIFY2(match.hasMatch(), qPrintable(rig.Status()));
        // The time is the pod's own: its clock moved while it worked.
        QVERIFY(match.captured(2).toDouble() > 0.0);
        // One green line of the form's, after what POD Verify prints of the stored record.
        const auto lines = rig.Messages();
        QCOMPARE(lines.back().second, kColourGreen);
        QVERIFY(rig.LastMessage().endsWith(QStringLiteral(" is OK !!!")));
        QCOMPARE(
            std::count_if(lines.begin(), lines.end(),
                          [](const FormRig::Line& l) { return l.first.endsWith(" is OK !!!"); }),
            1);
        if (command != Command::PodVerify) {
            QCOMPARE(lines.size(), std::size_t{1});
        }
        QVERIFY(rig.AllLedsLit(kLedNormalLit));
        QCOMPARE(rig.view->ProgressBar().Pos(), 0);
        QVERIFY(rig.ControlsEnabled());
        QVERIFY(!rig.view->IsBusy());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QVERIFY(!rig.sim.IsOpen());
        // The result is painted before the form returns to idle.
        QVERIFY(watch.paints > 0);
        QCOMPARE(watch.busyPaints, watch.paints);
    }

    // The button is disabled while its command runs, which moves the focus on; when the
    // command ends the focus is back on it, so that Space runs it again once the window is
    // idle.
    void thePressedButtonHasTheFocusAfterwards() {
        FormRig rig;
        rig.Start();
        rig.LoadExample("dsp56f807.s", CpuType::DSP56F807);
        QApplication::setActiveWindow(rig.view.get());
        QVERIFY(QTest::qWaitForWindowActive(rig.view.get()));
        QPushButton* write = rig.view->Button(FormLayout::kTargetWrite);
        write->setFocus(Qt::TabFocusReason);
        for (int run = 0; run < 2; ++run) {
            rig.ClearMessages();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
            QCOMPARE(rig.LastMessage(), QStringLiteral("Flash Writing is OK !!!"));
            QCOMPARE(QApplication::focusWidget(), write);
            Settle();
        }
    }

    void writeAndVerifyTextsShowOneAmpersandOnlyInTheStatus() {
        FormRig rig;
        rig.Start();
        rig.LoadExample("dsp56f807.s", CpuType::DSP56F807);
        rig.view->OnTargetWriteVerify();
        QVERIFY(rig.Status().startsWith(QStringLiteral("Flash Write && Verify Completed - ")));
        QCOMPARE(rig.LastMessage(), QStringLiteral("Flash Writing && Verifying is OK !!!"));
    }

    void oneFailurePerSequence_data() {
        QTest::addColumn<Command>("command");
        QTest::addColumn<char>("silenced");
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("redLamp");  // -1: none lit
        QTest::newRow("Target Write") << Command::TargetWrite << 'X' << "DFLASH Erase Error" << 0;
        QTest::newRow("Target Write && Verify")
            << Command::TargetWriteVerify << 'G' << "Enter Debug Mode Error" << -1;
        QTest::newRow("Target Verify, blank target")
            << Command::TargetVerify << '\0' << "DFLASH Verify Error" << 0;
        QTest::newRow("POD Write") << Command::PodWrite << 'N' << "DFLASH EEPROM Write Error" << 0;
        QTest::newRow("POD Verify, nothing stored")
            << Command::PodVerify << '\0' << "Fail to Get EEPROM Info." << -1;
    }

    void oneFailurePerSequence() {
        QFETCH(Command, command);
        QFETCH(char, silenced);
        QFETCH(QString, status);
        QFETCH(int, redLamp);
        FormRig rig;
        rig.sim.Fill(SimFill::Erased());  // the blank board and empty pod the rows name
        if (silenced != '\0') {
            rig.sim.Faults().SilenceReply(silenced);
        }
        rig.Start();
        rig.LoadExample("dsp56f807.s", CpuType::DSP56F807);
        rig.view->ResetAfterWriteBox().setChecked(true);
        const std::size_t lines = rig.Messages().size();
        Run(*rig.view, command);
        QCOMPARE(rig.Status(), status);
        // No line of the form's; POD Verify's own report of the missing record stays.
        const auto after = rig.Messages();
        if (command == Command::PodVerify) {
            QCOMPARE(after.back(),
                     FormRig::Line(QStringLiteral("There is No SFile Info."), kColourRed));
        } else {
            QCOMPARE(after.size(), lines);
        }
        for (int i = 0; i < 4; ++i) {
            const CiLedRoundX& led = rig.view->LedLamp(i);
            QCOMPARE(led.Active(), i == redLamp);
            if (i == redLamp) {
                QCOMPARE(led.ActiveColor(), kLedFailedLit);
            }
        }
        QCOMPARE(FrameCount(rig.sim, "R"), 0);
        QVERIFY(!rig.sim.IsOpen());
        QVERIFY(rig.ControlsEnabled());
        QCOMPARE(rig.view->ProgressBar().Pos(), 0);
    }

    void resetAfterWritingFollowsEachTargetCommand() {
        FormRig rig;
        rig.Start();
        rig.LoadExample("dsp56f807.s", CpuType::DSP56F807);
        rig.view->OnTargetWrite();
        QCOMPARE(FrameCount(rig.sim, "R"), 0);
        rig.view->ResetAfterWriteBox().setChecked(true);
        rig.view->OnTargetVerify();
        QCOMPARE(rig.sim.FrameLog().back(), std::string("R"));
        rig.view->OnPodWrite();
        QCOMPARE(FrameCount(rig.sim, "R"), 1);

        rig.sim.Faults().SilenceReply('R', 2);
        rig.ClearMessages();
        rig.view->OnTargetWrite();
        const auto lines = rig.Messages();
        QCOMPARE(lines.size(), std::size_t{2});
        QCOMPARE(lines[0], FormRig::Line(QStringLiteral("Flash Writing is OK !!!"), kColourGreen));
        QCOMPARE(lines[1], FormRig::Line(QStringLiteral("Fail to reset target board"), kColourRed));
        QVERIFY(rig.Status().startsWith(QStringLiteral("Flash Write Completed - ")));
        QVERIFY(!rig.sim.IsOpen());
    }

    // Only the ticked rows are programmed.
    void onlyTickedRegionsAreWritten() {
        FormRig rig;
        rig.Start();
        rig.LoadExample("dsp56f807.s", CpuType::DSP56F807);
        for (int row : {0, 1, 3}) {
            rig.Tick(row, false);
        }
        const RegionImage& boot = rig.image.Region(MemoryRegion::BFLASH);
        const RegionImage& program = rig.image.Region(MemoryRegion::PFLASH);
        const std::uint16_t oldFirmware = rig.sim.ProgramWord(program.minAddress);
        rig.view->OnTargetWrite();
        QVERIFY(rig.Status().startsWith(QStringLiteral("Flash Write Completed - ")));
        QCOMPARE(rig.sim.ProgramWord(boot.minAddress),
                 rig.image.WordAt(MemoryRegion::BFLASH, boot.minAddress));
        QCOMPARE(rig.sim.ProgramWord(program.minAddress), oldFirmware);
    }

    void targetResetNeedsNoImage() {
        FormRig rig;
        rig.Start();
        rig.view->OnTargetReset();
        QCOMPARE(rig.Messages().back(),
                 FormRig::Line(QStringLiteral("Target board reset is OK !!!"), kColourGreen));
        rig.sim.Faults().SilenceReply('R', 2);
        rig.view->OnTargetReset();
        QCOMPARE(rig.Messages().back(),
                 FormRig::Line(QStringLiteral("Fail to reset target board"), kColourRed));
        QCOMPARE(rig.Status(), QString());
        QVERIFY(!rig.sim.IsOpen());
    }

    void aMissingPodIsReportedAtStartAndByEachCommand_data() { commands_data(); }
    void aMissingPodIsReportedAtStartAndByEachCommand() {
        QFETCH(Command, command);
        FormRig rig;
        rig.sim.Faults().devices.clear();
        rig.Start();
        QCOMPARE(rig.Messages(),
                 (std::vector<FormRig::Line>{
                     {QStringLiteral("Not connect to USB Programmer"), kColourRed}}));
        rig.LoadExample("dsp56f807.s", CpuType::DSP56F807);
        rig.view->LedLamp(2).SetActive(true);
        Run(*rig.view, command);
        QCOMPARE(rig.Messages().back(),
                 FormRig::Line(QStringLiteral("Not connect to USB Programmer"), kColourRed));
        QVERIFY(rig.view->LedLamp(2).Active());
        QVERIFY(!rig.view->LedLamp(0).Active());
        QVERIFY(rig.ControlsEnabled());
        QCOMPARE(rig.Status(), QString());
    }

    void aMissingLibraryIsReportedAtStartAndByEachCommand() {
        FormRig rig;
        rig.library.SetMissing(true);
        rig.Start();
        const FormRig::Line missing(QStringLiteral("Fail to load FTD2XX.DLL file"), kColourRed);
        QCOMPARE(rig.Messages(), std::vector<FormRig::Line>{missing});
        rig.LoadExample("dsp56f807.s", CpuType::DSP56F807);
        rig.view->OnTargetWrite();
        QCOMPARE(rig.Messages().back(), missing);
        rig.view->OnTargetReset();
        QCOMPARE(rig.Messages().back(), missing);
    }
};

}  // namespace

std::unique_ptr<QObject> MakeCommandsTest() {
    return std::make_unique<CommandsTest>();
}

#include "CVantixViewCommandsTest.moc"
