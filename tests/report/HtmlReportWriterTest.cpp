// The report as a person sees it: Debian's Chromium opens the page the built vantix-cli
// wrote, and the figures on it are read back from its DOM.

#include <gtest/gtest.h>

#include "CliProcess.h"
#include "HeadlessBrowser.h"
#include "LineLog.h"
#include "TestPaths.h"

namespace {

// Every figure, the rows of the tables, and whether each chart drew.
const char* const kReadPage = R"((() => {
  const figures = {};
  document.querySelectorAll('[data-figure]').forEach(e => { figures[e.dataset.figure] = e.textContent; });
  const rows = id => [...document.querySelectorAll('#' + id + ' tbody tr')].map(r => [...r.cells].map(c => c.textContent));
  const blank = c => { const b = document.createElement('canvas'); b.width = c.width; b.height = c.height; return c.toDataURL() === b.toDataURL(); };
  const canvases = [...document.querySelectorAll('canvas')];
  return {figures, stations: rows('stations'), failures: rows('failures'), failed: rows('failed'),
          canvases: canvases.length, blank: canvases.filter(blank).map(c => c.id),
          images: document.images.length, hacked: window.hacked === 1, chart: typeof Chart};
})())";

class ReportInBrowser : public ::testing::Test {
protected:
    void SetUp() override {
        log_ = scratch_.Write("line.jsonl", LineLogText());
        const CliRun run =
            RunProgram({"report", "--log", log_, "--html", scratch_.File("line.html")});
        ASSERT_EQ(run.status, 0) << run.err;
        ASSERT_TRUE(browser_.Error().empty()) << browser_.Error();
        ASSERT_TRUE(browser_.Open("file://" + scratch_.File("line.html"))) << browser_.Error();
        page_ = browser_.Evaluate(kReadPage);
        ASSERT_TRUE(page_.is_object()) << browser_.Error();
    }

    ScratchDir scratch_;
    std::string log_;
    HeadlessBrowser browser_{VANTIX_CHROMIUM};
    nlohmann::json page_;
};

TEST_F(ReportInBrowser, ShowsTheFiguresOfTheLog) {
    const LineFigures expected = ExpectedFigures(LineLogText());
    const nlohmann::json& figures = page_["figures"];
    EXPECT_EQ(figures["runs"], std::to_string(expected.runs));
    EXPECT_EQ(figures["passed"], std::to_string(expected.passed));
    EXPECT_EQ(figures["failed"], std::to_string(expected.failed));
    EXPECT_EQ(figures["interrupted"], std::to_string(expected.interrupted));
    EXPECT_EQ(figures["boards"], std::to_string(expected.boards));
    EXPECT_EQ(figures["first-pass-yield"], Percent(expected.firstPass, expected.boards));
    EXPECT_EQ(figures["final-yield"], "100.0 %");
    EXPECT_EQ(figures["lines-skipped"], "4");  // blank, not JSON, no record, cut short
    EXPECT_EQ(figures["unknown-fields"], "1");

    ASSERT_EQ(page_["stations"].size(), expected.stations.size());
    for (const nlohmann::json& row : page_["stations"]) {
        const auto& [runs, passed] = expected.stations.at(row[0]);
        EXPECT_EQ(row[1], std::to_string(runs)) << row;
        EXPECT_EQ(row[2], std::to_string(passed)) << row;
        EXPECT_EQ(row[3], Percent(passed, runs)) << row;
    }
    ASSERT_EQ(page_["failures"].size(), expected.failures.size());
    int previous = expected.runs;
    for (const nlohmann::json& row : page_["failures"]) {
        EXPECT_EQ(row[1], std::to_string(expected.failures.at(row[0]))) << row;
        EXPECT_LE(std::stoi(row[1].get<std::string>()), previous) << "most frequent first";
        previous = std::stoi(row[1].get<std::string>());
    }
}

TEST_F(ReportInBrowser, DrawsItsChartsWithoutErrors) {
    EXPECT_EQ(page_["chart"], "function") << "Chart.js is inside the page";
    EXPECT_GE(page_["canvases"].get<int>(), 3);
    EXPECT_TRUE(page_["blank"].empty()) << "canvases left blank: " << page_["blank"];
    EXPECT_TRUE(browser_.PageErrors().empty()) << nlohmann::json(browser_.PageErrors()).dump(1);
}

TEST_F(ReportInBrowser, ShowsHostileBoardIdsAsText) {
    std::set<std::string> boards;
    for (const nlohmann::json& row : page_["failed"]) {
        boards.insert(row[3].get<std::string>());
    }
    EXPECT_EQ(boards.count(kHostileScript), 1u);
    EXPECT_EQ(boards.count(kHostileImage), 1u);
    EXPECT_EQ(page_["images"], 0) << "no element was made of a board id";
    EXPECT_FALSE(page_["hacked"].get<bool>());
    EXPECT_TRUE(browser_.Dialogs().empty()) << browser_.Dialogs().front();
    EXPECT_TRUE(browser_.PageErrors().empty()) << nlohmann::json(browser_.PageErrors()).dump(1);
}

TEST(ReportInBrowserAlone, LabelsEveryBarOfTheFailuresChart) {
    ScratchDir scratch;
    std::string text;
    for (int i = 0; i < 20; ++i) {
        nlohmann::json record = BoardRecord(i, 1, "2026-12-07T06:00:00Z");
        record["status"] = "Failure number " + std::to_string(i);
        text += record.dump() + "\n";
    }
    const std::string log = scratch.Write("failures.jsonl", text);
    ASSERT_EQ(RunProgram({"report", "--log", log, "--html", scratch.File("f.html")}).status, 0);
    HeadlessBrowser browser{VANTIX_CHROMIUM};
    ASSERT_TRUE(browser.Open("file://" + scratch.File("f.html"))) << browser.Error();
    const nlohmann::json labels = browser.Evaluate(
        "Chart.getChart(document.getElementById('chart-failures')).scales.y.ticks.length");
    EXPECT_EQ(labels, 20);
}

}  // namespace
