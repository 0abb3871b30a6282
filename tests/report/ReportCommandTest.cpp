// The report from JSON Lines logs, as scripts see it: the built vantix-cli, its files and
// its exit status.

#include <gtest/gtest.h>

#include <filesystem>

#include "CliProcess.h"
#include "LineLog.h"

namespace {

// The number of each line of the text that holds `part`, as "FILE:N:".
std::string LineOf(const std::string& text, const std::string& part, const std::string& file) {
    const std::vector<std::string> lines = Lines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].find(part) != std::string::npos) {
            return file + ":" + std::to_string(i + 1) + ":";
        }
    }
    return "(not in the log)";
}

// A figure of the page, by its data-figure name.
std::string Figure(const std::string& page, const std::string& name) {
    const std::string mark = "data-figure=\"" + name + "\">";
    const std::size_t at = page.find(mark);
    return at == std::string::npos ? "(none)"
                                   : page.substr(at + mark.size(), page.find('<', at) - at - mark.size());
}

// The data rows of a CSV file.
std::size_t CsvRows(const std::string& path) {
    return Lines(ReadText(path)).size() - 1;
}

TEST(ReportFromLogs, NamesEveryLineItCannotReadAndStillWritesTheReport) {
    ScratchDir dir;
    const std::string text = LineLogText();
    const std::string log = dir.Write("line.jsonl", text);
    const CliRun run = RunProgram({"report", "--log", log, "--csv", dir.File("boards.csv")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find(log + ":" + std::to_string(Lines(text).size() - 4) + ": blank, skipped"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find(LineOf(text, "not json", log) + " not JSON, skipped"),
              std::string::npos);
    EXPECT_NE(run.err.find(LineOf(text, "09:00:00Z", log) + " not a record (no \"status\")"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find(LineOf(text, "humidity", log) + " a record with fields this vantix-cli "
                                                           "does not know (\"humidity\")"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find(log + ":" + std::to_string(Lines(text).size()) + ": cut short"),
              std::string::npos);
    // One row a board, its first and final outcome; a board id a spreadsheet would run is
    // quoted away.
    EXPECT_EQ(CsvRows(dir.File("boards.csv")),
              static_cast<std::size_t>(ExpectedFigures(text).boards));
    const std::string csv = ReadText(dir.File("boards.csv"));
    EXPECT_NE(csv.find("\n\"\"\"><img src=x onerror=\"\"window.hacked=1\"\">\",1017,2,2,"),
              std::string::npos)
        << csv;
}

TEST(ReportFromLogs, AMissingLogLeavesTheLastReportAsItWas) {
    ScratchDir dir;
    const std::string html = dir.Write("yield.html", "the last report");
    const std::string log = dir.Write("line.jsonl", LineLogText());
    const CliRun run = RunProgram({"report", "--log", log, dir.File("gone.jsonl"), "--html", html});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("cannot read the log " + dir.File("gone.jsonl")), std::string::npos);
    EXPECT_EQ(ReadText(html), "the last report");
    EXPECT_FALSE(std::filesystem::exists(html + ".tmp"));
    EXPECT_EQ(RunProgram({"report", "--log", log, "--html", log}).status, 2)
        << "a log is no report";
    EXPECT_EQ(RunProgram({"report", "--log", log}).status, 2) << "no report named";
}

TEST(ReportFromLogs, SinceUntilAndImageNarrowIt) {
    ScratchDir dir;
    const std::string log = dir.Write("line.jsonl", LineLogText());
    const auto boards = [&](std::vector<std::string> narrowing) {
        std::vector<std::string> args = {"report", "--log", log, "--csv", dir.File("b.csv")};
        args.insert(args.end(), narrowing.begin(), narrowing.end());
        const CliRun run = RunProgram(args);
        EXPECT_EQ(run.status, 0) << run.err;
        return CsvRows(dir.File("b.csv"));
    };
    // Boards 0-9 ran from 06:10 to 06:19, boards 10-19 from 07:20 on.
    EXPECT_EQ(boards({"--since", "2026-12-07T07:00Z", "--until", "2026-12-07T08:00:00+00:00"}),
              10u);
    EXPECT_EQ(boards({"--until", "2026-12-07T08:00+01:00"}), 10u);
    EXPECT_EQ(boards({"--image", std::string(64, 'A')}), 45u);
    EXPECT_EQ(boards({"--image", std::string(64, 'b')}), 0u);
    const CliRun refused =
        RunProgram({"report", "--log", log, "--csv", dir.File("b.csv"), "--since", "yesterday"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("--since wants an ISO 8601 time such as 2026-12-07T06:00Z, not "
                               "'yesterday'"),
              std::string::npos)
        << refused.err;
}

// A bound with a fraction is compared to the fraction of the records' times, and the summary
// counts in words that fit the number.
TEST(ReportFromLogs, BoundsCountFractionsOfASecond) {
    ScratchDir dir;
    const std::string log =
        dir.Write("two.jsonl", BoardRecord(0, 0, "2026-12-01T00:00:00Z").dump() + "\n" +
                                   BoardRecord(1, 0, "2026-12-01T00:00:01.700Z").dump() + "\n");
    const auto report = [&](std::vector<std::string> narrowing) {
        std::vector<std::string> args = {"report", "--log", log, "--csv", dir.File("b.csv")};
        args.insert(args.end(), narrowing.begin(), narrowing.end());
        const CliRun run = RunProgram(args);
        EXPECT_EQ(run.status, 0) << run.err;
        return run.err;
    };
    const std::string csv = "; wrote " + dir.File("b.csv") + "\n";
    EXPECT_EQ(report({"--since", "2026-12-01T00:00:00.5Z"}), "report: 1 board, 1 run" + csv);
    EXPECT_EQ(report({"--since", "2026-12-01T00:00:00.000Z"}), "report: 2 boards, 2 runs" + csv);
    EXPECT_EQ(report({"--until", "2026-12-01T00:00:00.001Z"}), "report: 1 board, 1 run" + csv);
    EXPECT_EQ(report({"--until", "2026-12-01T00:00:01,0Z"}), "report: 1 board, 1 run" + csv);
    EXPECT_EQ(report({"--since", "2026-12-01T00:00:01.5Z"}), "report: 1 board, 1 run" + csv);
    EXPECT_EQ(report({"--since", "2026-12-01T00:00:01.7000001Z"}), "report: 0 boards, 0 runs" + csv);
    EXPECT_EQ(report({"--until", "2026-12-01T00:00:01.7Z"}), "report: 1 board, 1 run" + csv);
}
TEST(ReportFromLogs, ABoardWhoseRecordWasNotKeptCountsByItsOwnResult) {
    // As an older vantix-cli logged them: exit 4 where the record could not be stored.
    ScratchDir dir;
    nlohmann::json passed = BoardRecord(1, 0, "2026-12-07T06:10:00Z");
    passed["exit"] = 4;
    passed["status"] = "Flash Write && Verify Completed - 8.85 sec";
    nlohmann::json failed = BoardRecord(2, 1, "2026-12-07T06:11:00Z");
    failed["exit"] = 4;
    const std::string log = dir.Write("line.jsonl", passed.dump() + "\n" + failed.dump() + "\n");
    const std::string html = dir.File("yield.html");
    const CliRun run = RunProgram({"report", "--log", log, "--html", html});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string page = ReadText(html);
    EXPECT_EQ(Figure(page, "passed"), "1");
    EXPECT_EQ(Figure(page, "failed"), "1");
    EXPECT_EQ(Figure(page, "failed-runs"), "1");
    EXPECT_EQ(Figure(page, "records-not-kept"), "2");
    EXPECT_EQ(page.find("<td class=\"t\">Flash Write &amp;&amp; Verify Completed - 8.85 sec"),
              std::string::npos)
        << "a board that passed is no failure";
}

TEST(ReportFromLogs, ALogReadTwiceOrBesideItsCopyCountsEachRunOnce) {
    ScratchDir dir;
    const std::string text = LineLogText();
    const std::string log = dir.Write("line.jsonl", text);
    const std::string copy = dir.Write("line-copy.jsonl", text);
    const auto page = [&](std::vector<std::string> logs, std::string& err) {
        std::vector<std::string> args = {"report", "--log"};
        args.insert(args.end(), logs.begin(), logs.end());
        args.insert(args.end(), {"--html", dir.File("yield.html")});
        const CliRun run = RunProgram(args);
        EXPECT_EQ(run.status, 0) << run.err;
        err = run.err;
        return ReadText(dir.File("yield.html"));
    };
    std::string once;
    std::string thrice;
    const std::string single = page({log}, once);
    const std::string tripled = page({log, log, copy}, thrice);
    const int runs = ExpectedFigures(text).runs;
    for (const char* name : {"runs", "boards", "passed", "failed", "reworked", "first-pass-yield"}) {
        EXPECT_EQ(Figure(tripled, name), Figure(single, name)) << name;
    }
    EXPECT_EQ(Figure(tripled, "duplicates"), std::to_string(2 * runs));
    EXPECT_NE(thrice.find(", " + std::to_string(2 * runs) + " copies of runs read before left out"),
              std::string::npos)
        << thrice;
}

TEST(ReportFromLogs, CycleTimesAreOfBoardsThatStartedAndOddClocksAreNamed) {
    ScratchDir dir;
    std::string text;
    for (int i = 0; i < 4; ++i) {
        text += BoardRecord(i, 0, "2026-12-07T06:1" + std::to_string(i) + ":00Z").dump() + "\n";
    }
    // Refused before the pod (no number for it), and a pod out of reach: never started.
    nlohmann::json refused = BoardRecord(4, 1, "2026-12-07T06:20:00Z");
    refused.update({{"result", nullptr}, {"exit", 2}, {"seconds", 0.0}});
    nlohmann::json unreached = BoardRecord(5, 1, "2026-12-07T06:21:00Z");
    unreached.update({{"result", nullptr}, {"exit", 3}, {"seconds", 0.001}});
    // Two stations whose clocks were wrong.
    text += refused.dump() + "\n" + unreached.dump() + "\n" +
            BoardRecord(6, 0, "1970-01-01T00:00:00Z").dump() + "\n" +
            BoardRecord(7, 0, "2099-05-01T12:00:00Z").dump() + "\n";
    const std::string log = dir.Write("line.jsonl", text);
    const std::string html = dir.File("yield.html");
    const CliRun run = RunProgram({"report", "--log", log, "--html", html});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string page = ReadText(html);
    EXPECT_EQ(page.find("0.000 s"), std::string::npos) << "a run that never started";
    EXPECT_NE(page.find("<td class=\"t\">write-verify</td><td class=\"n\">6</td>"),
              std::string::npos)
        << "the six started runs";
    EXPECT_NE(run.err.find("vantix-cli: 2 runs have times from 1970-01-01T00:00:00Z to "
                           "2099-05-01T12:00:00Z, before 2000 or after now (a station's clock "
                           "was wrong?): counted, but left out of the chart of boards per hour\n"),
              std::string::npos)
        << run.err;
    EXPECT_NE(page.find("<h2>Boards per hour</h2>"), std::string::npos);
    EXPECT_EQ(Figure(page, "odd-times"), "2");
    EXPECT_EQ(Figure(page, "runs"), "8");
    // The two that never reached a board are runs, but no boards, and no yield counts them.
    EXPECT_EQ(Figure(page, "boards"), "6");
    EXPECT_EQ(Figure(page, "refused"), "2");
    EXPECT_EQ(Figure(page, "first-pass-yield"), "100.0 %");
    EXPECT_EQ(Figure(page, "failed-board-runs"), "0");
    EXPECT_NE((run.out + run.err).find("report: 6 boards, 8 runs, 2 refused before the pod"),
              std::string::npos)
        << run.out << run.err;
}

TEST(ReportFromLogs, BoardsOfOneSecondAreInTheOrderOfTheirFractionsThenOfTheirRuns) {
    ScratchDir dir;
    const auto line = [](const std::string& board, const std::string& time, const std::string& run) {
        nlohmann::json record = BoardRecord(1, 0, time);
        record["board"] = board;
        record["run"] = run;
        return record.dump() + "\n";
    };
    const std::string log = dir.Write(
        "line.jsonl",
        line("late", "2026-12-07T09:00:00.900Z", "0f000000-0000-4000-8000-000000000000") +
            line("early", "2026-12-07T09:00:00.100Z", "ff000000-0000-4000-8000-000000000000") +
            line("run-b", "2026-12-07T09:00:01.000Z", "b0000000-0000-4000-8000-000000000000") +
            line("run-a", "2026-12-07T09:00:01.000Z", "a0000000-0000-4000-8000-000000000000"));
    const CliRun run = RunProgram({"report", "--log", log, "--csv", dir.File("boards.csv")});
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<std::string> boards;
    for (const std::string& row : Lines(ReadText(dir.File("boards.csv")))) {
        boards.push_back(row.substr(0, row.find(',')));
    }
    EXPECT_EQ(boards, (std::vector<std::string>{"board", "early", "late", "run-a", "run-b"}));
}

}  // namespace
