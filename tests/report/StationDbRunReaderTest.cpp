// The report from the station database a line shares, against a real PostgreSQL server.

#include <gtest/gtest.h>

#include <regex>

#include "CliProcess.h"
#include "TestPostgres.h"

namespace {

// The figure of that name on the page.
std::string Figure(const std::string& html, const std::string& name) {
    std::smatch match;
    const std::regex figure("data-figure=\"" + name + "\">([^<]*)<");
    return std::regex_search(html, match, figure) ? match[1].str() : "(none)";
}

TEST(ReportFromStationDb, ReadsTheRunsAndCountsARunInALogOnce) {
    ScratchDir dir;
    setenv("XDG_STATE_HOME", dir.File("state").c_str(), 1);
    TestPostgres server;
    const std::string url = server.Url();
    const std::string log = dir.File("boards.jsonl");
    const std::string html = dir.Write("db.html", "the last report");
    CliRun run = RunProgram({"report", "--station-db", url, "--html", html});
    EXPECT_EQ(run.status, 2) << "a database without the tables: " << run.err;
    EXPECT_EQ(ReadText(html), "the last report");
    ASSERT_EQ(RunProgram({"station-db", "init", "--station-db", url}).status, 0);
    const CliRun line = RunProgram(
        {"--simulate", "--station-db", url, "--station", "st-A", "--log", log, "--board-id", "B1",
         "write-verify", Example("dsp56f807.s"), "--cpu", "807", "--repeat", "-q"},
        "B2\nB3\n");
    ASSERT_EQ(line.status, 0) << line.err;

    run = RunProgram({"report", "--station-db", url, "--html", html, "--csv", dir.File("db.csv")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Figure(ReadText(html), "runs"), "3");
    EXPECT_EQ(Figure(ReadText(html), "boards"), "3");
    EXPECT_NE(ReadText(dir.File("db.csv")).find(",st-A,VSIM0001,write-verify,"), std::string::npos);

    run = RunProgram({"report", "--station-db", url, "--log", log, "--html", html});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Figure(ReadText(html), "runs"), "3");
    EXPECT_EQ(Figure(ReadText(html), "duplicates"), "3");

    run = RunProgram({"report", "--station-db", url, "--since", "2100-01-01", "--html", html});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Figure(ReadText(html), "runs"), "0");
    unsetenv("XDG_STATE_HOME");
}

TEST(ReportFromStationDb, ARunIsTakenOnceFromAllItsSourcesTheDatabasesCopyFirst) {
    ScratchDir dir;
    setenv("XDG_STATE_HOME", dir.File("state").c_str(), 1);
    TestPostgres server;
    const std::string url = server.Url();
    ASSERT_EQ(RunProgram({"station-db", "init", "--station-db", url}).status, 0);
    ASSERT_EQ(RunProgram({"station-db", "series", "line-7", "--start", "1000", "--station-db", url})
                  .status,
              0);
    ASSERT_EQ(RunProgram({"station-db", "release", "line-7", Example("dsp56f807.s"), "--cpu", "807",
                          "--station-db", url})
                  .status,
              0);
    const std::string log = dir.File("boards.jsonl");
    const CliRun line = RunProgram(
        {"--simulate", "--station-db", url, "--station", "st-A", "--log", log, "write-verify",
         Example("dsp56f807.s"), "--cpu", "807", "--serial-at", "PFLASH:7FF0", "--serial-series",
         "line-7", "-q"});
    ASSERT_EQ(line.status, 0) << line.err;
    // A store whose answer came too late: the log and a copy of it say 4, the database 0.
    std::string text = ReadText(log);
    text.replace(text.find("\"exit\":0"), 8, "\"exit\":4");
    const std::string late = dir.Write("late.jsonl", text);
    const std::string copy = dir.Write("copy.jsonl", text);
    const std::string html = dir.File("yield.html");
    const CliRun run =
        RunProgram({"report", "--station-db", url, "--log", late, copy, "--html", html});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string page = ReadText(html);
    EXPECT_EQ(Figure(page, "runs"), "1");
    EXPECT_EQ(Figure(page, "passed"), "1");
    EXPECT_EQ(Figure(page, "duplicates"), "2");
    EXPECT_EQ(page.find("at PFLASH:0x7FF0"), std::string::npos) << "a series made up from a log";
    EXPECT_NE(run.err.find(", 2 copies of runs read before left out;"),
              std::string::npos)
        << run.err;
    unsetenv("XDG_STATE_HOME");
}

// The row of the images table that names the file.
std::string ImageRow(const std::string& html, const std::string& file) {
    const std::size_t table = html.find("<table id=\"images\">");
    const std::size_t at = html.find(">" + file + "<", table);
    return at == std::string::npos ? "(none)" : html.substr(at, html.find("</tr>", at) - at);
}

TEST(ReportFromStationDb, MarksTheImagesThatWereNotReleasedWhenTheyWereProgrammed) {
    ScratchDir dir;
    setenv("XDG_STATE_HOME", dir.File("state").c_str(), 1);
    TestPostgres server;
    const std::string url = server.Url();
    const std::string f805 = Example("dsp56f805.s");
    const std::string f807 = Example("dsp56f807.s");
    const auto db = [&url](std::vector<std::string> args) {
        args.insert(args.end(), {"--station-db", url});
        return RunProgram(args).status;
    };
    // Runs without the series' check: before the release, of another image, after withdrawal.
    const auto unchecked = [&](const std::string& file, const char* cpu) {
        return db({"--simulate", "write-verify", file, "--cpu", cpu, "-q"});
    };
    ASSERT_EQ(db({"station-db", "init"}), 0);
    ASSERT_EQ(db({"station-db", "series", "line-7", "--start", "1"}), 0);
    ASSERT_EQ(unchecked(f807, "807"), 0);
    ASSERT_EQ(db({"station-db", "release", "line-7", f807, "--cpu", "807"}), 0);
    ASSERT_EQ(db({"--simulate", "write-verify", f807, "--cpu", "807", "--serial-at",
                  "PFLASH:7FF0", "--serial-series", "line-7", "-q"}),
              0);
    ASSERT_EQ(unchecked(f805, "805"), 0);
    ASSERT_EQ(db({"station-db", "withdraw", "line-7", server.Query(
                      "SELECT sha256 FROM vantix.releases").front()}),
              0);
    ASSERT_EQ(unchecked(f807, "807"), 0);

    const std::string html = dir.File("yield.html");
    ASSERT_EQ(db({"report", "--html", html}), 0);
    const std::string page = ReadText(html);
    EXPECT_EQ(Figure(page, "unreleased-runs"), "3");
    EXPECT_NE(ImageRow(page, "dsp56f805.s").find(">not released<"), std::string::npos)
        << ImageRow(page, "dsp56f805.s");
    EXPECT_TRUE(std::regex_search(
        ImageRow(page, "dsp56f807.s"),
        std::regex(">line-7, DSP56F807, from 20[0-9-]+T[0-9:]+Z to 20[0-9-]+T[0-9:]+Z<"
                   "/td><td class=\"n\">2<")))
        << ImageRow(page, "dsp56f807.s");
    unsetenv("XDG_STATE_HOME");
}

// A run's verdict rests on the release in force when its board began, for its CPU; a run that
// a check admitted was released whatever happened during its board.
TEST(ReportFromStationDb, ARunIsJudgedByItsCheckItsCpuAndItsStart) {
    ScratchDir dir;
    setenv("XDG_STATE_HOME", dir.File("state").c_str(), 1);
    TestPostgres server;
    const std::string url = server.Url();
    const std::string f807 = Example("dsp56f807.s");
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"station-db", "init"},
          std::vector<std::string>{"station-db", "series", "line-7", "--start", "1"},
          std::vector<std::string>{"station-db", "release", "line-7", f807, "--cpu", "807"}}) {
        std::vector<std::string> args = command;
        args.insert(args.end(), {"--station-db", url});
        ASSERT_EQ(RunProgram(args).status, 0);
    }
    const std::string sha256 = server.Query("SELECT sha256 FROM vantix.releases").front();
    ASSERT_EQ(RunProgram({"station-db", "withdraw", "line-7", sha256, "--station-db", url}).status,
              0);
    // Times inside and after the release's window, as records write them.
    const auto at = [&](const std::string& when) {
        const std::string sql = "SELECT to_char((" + when +
                                ") AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.US\"Z\"') "
                                "FROM vantix.releases";
        return server.Query(sql.c_str()).front();
    };
    const std::string inside = at("released_at + (withdrawn_at - released_at) / 2");
    const std::string after = at("withdrawn_at + interval '10 seconds'");
    const std::string sinceInside =
        server
            .Query("SELECT extract(epoch FROM withdrawn_at + interval '10 seconds' - "
                   "(released_at + (withdrawn_at - released_at) / 2))::numeric(20,6) FROM "
                   "vantix.releases")
            .front();
    const auto record = [&](const std::string& time, const std::string& seconds,
                            const std::string& cpu, const std::string& release) {
        return "{\"time\":\"" + time +
               "\",\"host\":\"st\",\"command\":\"write-verify\",\"file\":\"dsp56f807.s\","
               "\"sha256\":\"" + sha256 + "\",\"cpu\":\"" + cpu + "\",\"status\":\"OK\","
               "\"seconds\":" + seconds + ",\"exit\":0,\"release\":" + release + "}\n";
    };
    const std::string log = dir.Write(
        "boards.jsonl",
        record(after, "5", "DSP56F807", "\"series line-7\"") +    // admitted by the check
            record(after, sinceInside, "DSP56F807", "null") +      // began inside the window
            record(inside, "0", "DSP56F805", "null") +             // released for another CPU
            record(inside, "0", "DSP56F807", "null"));
    const std::string html = dir.File("yield.html");
    const CliRun run = RunProgram({"report", "--station-db", url, "--log", log, "--html", html});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Figure(ReadText(html), "unreleased-runs"), "1");
    unsetenv("XDG_STATE_HOME");
}

TEST(ReportFromStationDb, ADatabaseOutOfReachWritesNoReport) {
    ScratchDir dir;
    const std::string html = dir.Write("yield.html", "the last report");
    const CliRun run = RunProgram(
        {"report", "--station-db", "host=" + dir.File("nowhere") + " dbname=line", "--html", html});
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.err.find("cannot connect to the station database"), std::string::npos) << run.err;
    EXPECT_EQ(ReadText(html), "the last report");
}

}  // namespace
