#include <gtest/gtest.h>

#include "CUsbPod.h"
#include "Clock.h"
#include "ProgrammerCommands.h"
#include "RecordingUi.h"
#include "RegionRows.h"
#include "SFileImage.h"
#include "sim/SimulatedD2xxLibrary.h"
#include "sim/SimulatedPod.h"
#include "TestPaths.h"

namespace {

using Kind = CommandOutcome::Kind;
using Line = std::pair<std::string, std::uint32_t>;

class ProgrammerCommandsTest : public ::testing::Test {
protected:
    void Load(CpuType cpu, const char* example) {
        image.cpu = cpu;
        image.ApplyCpuMemoryMap();
        ASSERT_TRUE(image.ReadSFile(std::string(VANTIX_EXAMPLES_DIR) + "/" + example));
        list.clear();
        for (const RegionRow& row : ListPresentRegions(image)) {
            list.push_back({row.name, true});
        }
        ASSERT_TRUE(pod.LoadDriverLibrary());
    }
    void Load807() { Load(CpuType::DSP56F807, "dsp56f807.s"); }

    bool Sent(const std::string& frame) const {
        for (const std::string& f : sim.FrameLog()) {
            if (f == frame) {
                return true;
            }
        }
        return false;
    }

    VirtualClock clock;
    SimulatedPod sim{clock};
    SimulatedD2xxLibrary library{sim};
    SFileImage image;
    CUsbPod pod{library, clock, image};
    RecordingUi ui;
    ProgrammerCommands commands{pod, image, clock, ui};
    std::vector<RegionListItem> list;
};

TEST_F(ProgrammerCommandsTest, RefusalsSayOneBlueLineAndTouchNothing) {
    Load(CpuType::DSP56F801, "dsp56f801.s");
    const std::vector<RegionListItem> none;
    for (auto command : {TargetCommand::Write, TargetCommand::WriteVerify, TargetCommand::Verify}) {
        EXPECT_EQ(commands.RunTarget(command, none, true, true).kind, Kind::Refused);
    }
    EXPECT_EQ(commands.RunPod(PodCommand::Write, 0, true, true).kind, Kind::Refused);
    EXPECT_EQ(commands.RunPod(PodCommand::Verify, 0, true, true).kind, Kind::Refused);
    EXPECT_EQ(ui.messages.lines,
              std::vector<Line>(5, {"Not currently support DSP56F801", kColourBlue}));
    EXPECT_TRUE(sim.FrameLog().empty());
    EXPECT_FALSE(pod.IsOpen());
    EXPECT_TRUE(ui.busyChanges.empty());
    EXPECT_EQ(ui.status.history.size(), 0u);

    Load807();
    ui.messages.lines.clear();
    const std::vector<RegionListItem> unticked = {{"PFLASH", false}, {"BFLASH", false}};
    commands.RunTarget(TargetCommand::Write, none, true, false);
    commands.RunTarget(TargetCommand::WriteVerify, none, true, false);
    commands.RunTarget(TargetCommand::Verify, none, true, false);
    commands.RunTarget(TargetCommand::Write, unticked, true, false);
    commands.RunTarget(TargetCommand::WriteVerify, unticked, true, false);
    commands.RunTarget(TargetCommand::Verify, unticked, true, false);
    commands.RunPod(PodCommand::Write, 0, true, false);
    commands.RunPod(PodCommand::Verify, 0, true, false);
    const std::vector<Line> expected = {
        {"There is no S File data to write into flash", kColourBlue},
        {"There is no S File data to write && verify", kColourBlue},
        {"There is no S File data to verify with flash", kColourBlue},
        {"Please, select list item for flash writing", kColourBlue},
        {"Please, select list item for flash writing && verifying", kColourBlue},
        {"Please, select list item for flash verifying", kColourBlue},
        {"There is no S File data to write into EEPROM", kColourBlue},
        {"There is no S File data to verify with EEPROM", kColourBlue},
    };
    EXPECT_EQ(ui.messages.lines, expected);
    EXPECT_TRUE(sim.FrameLog().empty());
}

TEST_F(ProgrammerCommandsTest, UnreachablePodIsReportedOnceInRed) {
    Load807();
    sim.Faults().devices = {"FT232R USB UART", "USB POD2"};
    EXPECT_EQ(commands.RunTarget(TargetCommand::Write, list, true, false).kind, Kind::Unreachable);
    sim.Faults().devices = {"USB POD"};
    sim.Faults().SilenceReply('I', 1);
    sim.Faults().SilenceReply('I', 2);
    EXPECT_EQ(commands.TargetReset().kind, Kind::Unreachable);
    EXPECT_EQ(ui.messages.lines,
              (std::vector<Line>{{"Not connect to USB Programmer", kColourRed},
                                 {"Fail to initialize USB Programmer", kColourRed}}));
    EXPECT_EQ(ui.LedPattern(), "0000");
    EXPECT_TRUE(ui.busyChanges.empty());

    pod.FreeDriverLibrary();
    ui.messages.lines.clear();
    EXPECT_EQ(commands.RunPod(PodCommand::Write, list.size(), true, false).kind, Kind::Unreachable);
    EXPECT_EQ(ui.messages.lines, (std::vector<Line>{{"Fail to load FTD2XX.DLL file", kColourRed}}));
}

TEST_F(ProgrammerCommandsTest, WriteVerifyThenVerifySucceedAndCloseThePod) {
    Load807();
    const CommandOutcome written =
        commands.RunTarget(TargetCommand::WriteVerify, list, true, false);
    ASSERT_EQ(written.kind, Kind::Succeeded) << written.statusText;
    EXPECT_EQ(written.statusText, "Flash Write && Verify Completed - " + written.elapsedText);
    EXPECT_GT(written.seconds, 0.0);
    EXPECT_EQ(ui.status.shown, written.statusText);
    EXPECT_EQ(ui.progress.position, 0);
    EXPECT_EQ(ui.messages.lines,
              (std::vector<Line>{{"Flash Writing && Verifying is OK !!!", kColourGreen}}));
    EXPECT_EQ(ui.LedPattern(), "1111");
    EXPECT_EQ(ui.busyChanges, (std::vector<bool>{true, false}));
    EXPECT_FALSE(pod.IsOpen());
    EXPECT_FALSE(sim.IsOpen());
    EXPECT_FALSE(Sent("R"));
    for (std::uint32_t a = 4; a <= image.Region(MemoryRegion::PFLASH).maxAddress; ++a) {
        ASSERT_EQ(sim.ProgramWord(a), image.WordAt(MemoryRegion::PFLASH, a)) << a;
    }

    sim.ClearLogs();
    const CommandOutcome verified = commands.RunTarget(TargetCommand::Verify, list, false, true);
    ASSERT_EQ(verified.kind, Kind::Succeeded);
    EXPECT_EQ(verified.statusText.rfind("Flash Verify Completed - ", 0), 0u);
    EXPECT_EQ(ui.messages.lines.back(), (Line{"Flash Verifying is OK !!!", kColourGreen}));
    EXPECT_TRUE(Sent("G0"));
    EXPECT_FALSE(Sent("M3F000"));
    EXPECT_EQ(sim.FrameLog().back(), "R");  // the reset after verifying, once idle again
}

TEST_F(ProgrammerCommandsTest, FailedSequenceShowsOnlyTheStatusText) {
    Load807();
    sim.Faults().SilenceReply('W', 1);  // DFLASH is written first
    const CommandOutcome outcome = commands.RunTarget(TargetCommand::Write, list, true, true);
    EXPECT_EQ(outcome.kind, Kind::Failed);
    EXPECT_EQ(outcome.result, 13);
    EXPECT_EQ(ui.status.shown, "DFLASH Write Error");
    EXPECT_EQ(ui.progress.position, 0);
    EXPECT_TRUE(ui.messages.lines.empty());
    EXPECT_EQ(ui.LedPattern(), "R000");
    EXPECT_FALSE(ui.busy);
    EXPECT_FALSE(pod.IsOpen());
    EXPECT_FALSE(Sent("R"));  // no reset after a failure
}

TEST_F(ProgrammerCommandsTest, ResetAfterWritingAndItsFailure) {
    Load807();
    ASSERT_TRUE(commands.RunTarget(TargetCommand::Write, list, true, true).Ok());
    EXPECT_EQ(sim.FrameLog().back(), "R");
    EXPECT_EQ(ui.messages.lines.back(), (Line{"Flash Writing is OK !!!", kColourGreen}));

    sim.Faults().SilenceReply('R', 2);
    const CommandOutcome outcome = commands.RunTarget(TargetCommand::Write, list, true, true);
    EXPECT_EQ(outcome.kind, Kind::ResetFailed);
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(ui.status.shown.rfind("Flash Write Completed - ", 0), 0u);
    const std::vector<Line> tail(ui.messages.lines.end() - 2, ui.messages.lines.end());
    EXPECT_EQ(tail, (std::vector<Line>{{"Flash Writing is OK !!!", kColourGreen},
                                       {"Fail to reset target board", kColourRed}}));
    EXPECT_FALSE(pod.IsOpen());
}

TEST_F(ProgrammerCommandsTest, TargetResetSaysOkOrFails) {
    Load807();
    EXPECT_TRUE(commands.TargetReset().Ok());
    sim.Faults().WrongReply('R', 2, '?');
    EXPECT_EQ(commands.TargetReset().kind, Kind::Failed);
    EXPECT_EQ(ui.messages.lines, (std::vector<Line>{{"Target board reset is OK !!!", kColourGreen},
                                                    {"Fail to reset target board", kColourRed}}));
    EXPECT_FALSE(pod.IsOpen());
    EXPECT_TRUE(ui.busyChanges.empty());
    EXPECT_EQ(ui.status.history.size(), 0u);
}

TEST_F(ProgrammerCommandsTest, PodWriteThenVerifyAndTheirFailures) {
    Load807();
    sim.Faults().SilenceReply('N', 1);  // the first DFLASH block
    const CommandOutcome failed = commands.RunPod(PodCommand::Write, list.size(), true, false);
    EXPECT_EQ(failed.kind, Kind::Failed);
    EXPECT_EQ(ui.status.shown, "DFLASH EEPROM Write Error");
    EXPECT_EQ(ui.LedPattern(), "R000");
    EXPECT_TRUE(ui.messages.lines.empty());
    EXPECT_FALSE(pod.IsOpen());

    const CommandOutcome written = commands.RunPod(PodCommand::Write, list.size(), true, false);
    ASSERT_EQ(written.kind, Kind::Succeeded);
    EXPECT_EQ(ui.status.shown, "EEPROM Write Completed - " + written.elapsedText);
    EXPECT_EQ(ui.messages.lines.back(), (Line{"EEPROM Writing is OK !!!", kColourGreen}));
    EXPECT_EQ(ui.LedPattern(), "1111");

    ASSERT_TRUE(commands.RunPod(PodCommand::Verify, list.size(), false, false).Ok());
    EXPECT_EQ(ui.messages.lines.back(), (Line{"EEPROM Verifying is OK !!!", kColourGreen}));
    EXPECT_EQ(ui.status.shown.rfind("EEPROM Verify Completed - ", 0), 0u);
    EXPECT_FALSE(pod.IsOpen());
}

TEST_F(ProgrammerCommandsTest, PodInfoPrintsTheStoredRecordWithoutComparing) {
    sim.Fill(SimFill::Erased());  // a pod that never stored an image
    Load807();
    ASSERT_TRUE(commands.ConnectPod());
    pod.SetIndicators(ui.status, ui.progress, ui.messages);
    EXPECT_EQ(pod.ReadPodInfo(), kEepromInfoError);
    EXPECT_EQ(ui.messages.lines,
              (std::vector<Line>{{"[Current SFile Info. in Serial EEPROM of USB POD]", kColourBlue},
                                 {"There is No SFile Info.", kColourRed}}));
    pod.Close();

    ASSERT_TRUE(commands.RunPod(PodCommand::Write, list.size(), true, true).Ok());
    Load(CpuType::DSP56F805, "dsp56f805.s");  // a different image: no comparison is made
    ui.messages.lines.clear();
    sim.ClearLogs();
    ASSERT_TRUE(commands.ConnectPod());
    EXPECT_EQ(pod.ReadPodInfo(), kPodOk);
    pod.Close();
    ASSERT_EQ(ui.messages.lines.size(), 7u);
    EXPECT_EQ(ui.messages.lines[1], (Line{"[CPU] : DSP56F807", kColourGreen}));
    EXPECT_EQ(
        ui.messages.lines[2],
        (Line{"[Option] : Erase All BFLASH, Target Reset After Flash Writing", kColourGreen}));
    EXPECT_EQ(
        ui.messages.lines[3].first.rfind("[PFLASH Info] Start Address : 0x0004, End Address", 0),
        0u);
    EXPECT_EQ(sim.FrameLog(), (std::vector<std::string>{"I", "O"}));
}

TEST_F(ProgrammerCommandsTest, PodPulledMidCommandIsNotReusedByTheNext) {
    Load807();
    sim.Faults().UnplugAtCall(40);  // well inside the write; even the close fails
    EXPECT_EQ(commands.RunTarget(TargetCommand::Write, list, true, false).kind, Kind::Failed);
    ASSERT_TRUE(pod.IsOpen());  // the failed close keeps the handle, as a close must

    ui.messages.lines.clear();
    const CommandOutcome next = commands.RunTarget(TargetCommand::Write, list, true, false);
    EXPECT_EQ(next.kind, Kind::Unreachable);
    EXPECT_EQ(ui.messages.lines,
              (std::vector<Line>{{"Fail to open USB communication port", kColourRed}}));
    EXPECT_FALSE(pod.IsOpen());
}

TEST_F(ProgrammerCommandsTest, ElapsedTimeSurvivesTickWrap) {
    Load807();
    clock.AdvanceUs((0x100000000ull - 300) * 1000);  // the tick wraps during the write
    const CommandOutcome outcome = commands.RunTarget(TargetCommand::Write, list, true, false);
    ASSERT_TRUE(outcome.Ok());
    EXPECT_GT(outcome.seconds, 0.3);
    EXPECT_LT(outcome.seconds, 60.0);
}

TEST(ProgrammerCommandsTexts, EveryResultHasItsText) {
    EXPECT_STREQ(ProgrammerCommands::TargetErrorText(1), "Enter Debug Mode Error");
    EXPECT_STREQ(ProgrammerCommands::TargetErrorText(2), "Firmware Download Error");
    const char* regions[] = {"PFLASH", "P2FLASH", "BFLASH", "DFLASH"};
    const char* steps[] = {"Erase", "Write", "Verify"};
    for (int r = 0; r < 4; ++r) {
        for (int s = 0; s < 3; ++s) {
            EXPECT_EQ(
                ProgrammerCommands::TargetErrorText(static_cast<std::uint16_t>(3 * r + 3 + s)),
                std::string(regions[r]) + " " + steps[s] + " Error");
        }
    }
    for (int r = 0; r < 4; ++r) {
        const int index = r;  // region codes follow MemoryRegion order
        EXPECT_EQ(ProgrammerCommands::PodWriteErrorText(static_cast<std::uint16_t>(2 * index + 1)),
                  std::string(regions[r]) + " EEPROM Write Error");
        EXPECT_EQ(ProgrammerCommands::PodVerifyErrorText(static_cast<std::uint16_t>(2 * index + 2)),
                  std::string(regions[r]) + " EEPROM Verify Error");
    }
    EXPECT_STREQ(ProgrammerCommands::PodWriteErrorText(9), "EEPROM Write Error");
    EXPECT_STREQ(ProgrammerCommands::PodVerifyErrorText(10), "EEPROM Verify Error");
    EXPECT_STREQ(ProgrammerCommands::PodVerifyErrorText(11), "Fail to Get EEPROM Info.");
    EXPECT_STREQ(ProgrammerCommands::PodVerifyErrorText(12), "EEPROM Info. is not sameness");
    EXPECT_STREQ(ProgrammerCommands::PodWriteErrorText(2), "");
}

}  // namespace
