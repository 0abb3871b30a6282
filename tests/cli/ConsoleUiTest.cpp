#include <gtest/gtest.h>

#include <sstream>

#include "run/ConsoleUi.h"
#include "run/ProgressLine.h"

namespace {

TEST(ProgressLine, PercentStaysWithinTheRange) {
    EXPECT_EQ(ProgressLine::Percent(0, 200, 50), 25);
    EXPECT_EQ(ProgressLine::Percent(0, 200, 300), 100);
    EXPECT_EQ(ProgressLine::Percent(0, 200, -5), 0);
    EXPECT_EQ(ProgressLine::Percent(0, 0, 0), 0) << "an empty range";
    EXPECT_EQ(ProgressLine::Percent(10, 5, 7), 0) << "an inverted range";
    EXPECT_EQ(ProgressLine::Percent(0, 0x7FFFFFFF, 0x7FFFFFFF), 100) << "no overflow";
}

TEST(ProgressLine, Layout) {
    EXPECT_EQ(ProgressLine::Format("PFLASH Writing...", 40),
              "PFLASH Writing...          [############..................]  40%");
    EXPECT_EQ(ProgressLine::Format("A status text longer than the label column", 100),
              "A status text longer than the label column [##############################] 100%");
}

class ConsoleUiTest : public ::testing::Test {
protected:
    void Phase(ConsoleUi& ui, const char* text) {
        ui.Status().SetText(text);
        ui.Status().RepaintNow();
    }
    std::ostringstream err;
};

TEST_F(ConsoleUiTest, PlainOutputNamesEachPhaseOnce) {
    ConsoleUi ui(err, CliVerbosity::Normal, false);
    ui.SetBusy(true);
    Phase(ui, "PFLASH Erasing...");
    ui.Progress().SetRange(0, 4);
    ui.Progress().SetPos(2);
    Phase(ui, "PFLASH Writing...");
    Phase(ui, "PFLASH Verifying...");
    Phase(ui, "PFLASH Writing...");
    Phase(ui, "PFLASH Verifying...");
    ui.Messages().AddMessage("Flash Writing && Verifying is OK !!!", kColourGreen);
    EXPECT_EQ(err.str(),
              "PFLASH Erasing...\nPFLASH Writing...\nPFLASH Verifying...\n"
              "Flash Writing && Verifying is OK !!!\n");
    EXPECT_TRUE(ui.ShowedStatus("PFLASH Writing..."));
    EXPECT_FALSE(ui.ShowedStatus("BFLASH Writing..."));
}

TEST_F(ConsoleUiTest, QuietKeepsErrorsAndHoldsRefusals) {
    ConsoleUi ui(err, CliVerbosity::Quiet, true);
    Phase(ui, "PFLASH Writing...");
    ui.Progress().SetRange(0, 10);
    ui.Progress().SetPos(5);
    ui.Messages().AddMessage("Flash Writing is OK !!!", kColourGreen);
    ui.Messages().AddMessage("Please, select list item for flash writing", kColourBlue);
    ui.Trace("> 02 49 03");
    EXPECT_EQ(err.str(), "");
    ui.Messages().AddMessage("Not connect to USB Programmer", kColourRed);
    ui.ReportRefusal();
    EXPECT_EQ(err.str(),
              "Not connect to USB Programmer\nPlease, select list item for flash writing\n");
}

TEST_F(ConsoleUiTest, TerminalRedrawsThePhaseLineInPlace) {
    ConsoleUi ui(err, CliVerbosity::Verbose, true);
    ui.SetBusy(true);
    Phase(ui, "DFLASH Erasing...");
    EXPECT_EQ(err.str(), "\rDFLASH Erasing...");
    ui.Progress().SetPos(0);
    EXPECT_EQ(err.str(), "\rDFLASH Erasing...") << "moving to 0 draws no bar";
    ui.Progress().SetRange(0, 2);
    ui.Progress().SetPos(1);
    ui.Progress().SetPos(1);  // same percentage: nothing new to draw
    const std::string half = ProgressLine::Format("DFLASH Erasing...", 50);
    EXPECT_EQ(err.str(),
              "\rDFLASH Erasing...\r" + ProgressLine::Format("DFLASH Erasing...", 0) + "\r" + half);
    err.str("");
    // A trace line takes the bar's place, and the bar comes back below it.
    ui.Trace("< 21");
    EXPECT_EQ(err.str(), "\r" + std::string(half.size(), ' ') + "\r< 21\n\r" + half);
    err.str("");
    // The region's next phase takes over its line and keeps the bar where it stands...
    Phase(ui, "DFLASH Writing...");
    EXPECT_EQ(err.str(), "\r" + ProgressLine::Format("DFLASH Writing...", 50));
    err.str("");
    // ... until the position goes back to the start.
    ui.Progress().SetPos(0);
    EXPECT_EQ(err.str(), "\rDFLASH Writing..." + std::string(half.size() - 17, ' '));
    err.str("");
    // The next region keeps the last one's line and starts its own.
    Phase(ui, "PFLASH Erasing...");
    EXPECT_EQ(err.str(), "\n\rPFLASH Erasing...");
    err.str("");
    ui.Messages().AddMessage("Fail to reset target board", kColourRed);
    EXPECT_EQ(err.str(), "\nFail to reset target board\n");
}

}  // namespace
