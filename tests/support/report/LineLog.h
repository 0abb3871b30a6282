#pragma once

// A production line's log as the tests make it, and the figures of a report worked out
// from it again here, apart from the program's own code.

#include <cstdio>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

inline const char* const kHostileScript = "<script>alert(1)</script>";
inline const char* const kHostileImage = "\"><img src=x onerror=\"window.hacked=1\">";

// The lines a log may hold that are no record (a blank one, one that is not JSON, one that
// lacks status, seconds and exit, one cut short), and a record of a newer vantix-cli.
inline const char* const kBadLines =
    "\n"
    "not json at all\n"
    "{\"time\":\"2026-12-07T09:00:00Z\",\"command\":\"verify\"}\n"
    "{\"time\":\"2026-12-07T09:01:00Z\",\"host\":\"st-1\",\"command\":\"verify\",\"pod\":"
    "\"VSIM0001\",\"board\":\"B100\",\"status\":\"ok\",\"seconds\":1.5,\"exit\":0,"
    "\"humidity\":41}\n"
    "{\"time\":\"2026-12-07T09:02:00Z\",\"host\":\"st-2\",\"comm";

// Board i's write-verify: 0 passed, 1 and 2 failed, 3 interrupted.
inline nlohmann::json BoardRecord(int i, int outcome, const std::string& time) {
    const char* statuses[] = {"Flash Write && Verify Completed", "PFLASH Verify Error",
                              "Fail to initialize USB Programmer", "interrupted"};
    const std::string station = std::to_string(1 + i % 3);
    return {{"time", time},
            {"host", "st-" + station},
            {"command", "write-verify"},
            {"file", "/srv/line/release-7.s"},
            {"sha256", std::string(64, 'a')},
            {"pod", "VSIM000" + station},
            {"board", i == 10   ? kHostileScript
                      : i == 17 ? kHostileImage
                                : "B" + std::to_string(100 + i)},
            {"serial", (outcome == 0 ? 1000 : 2000) + i},
            {"serial_at", "PFLASH:0x7FF0"},
            {"result", outcome == 0 ? 0 : 2},
            {"status", statuses[outcome]},
            {"seconds", 7.5 + (i % 5) * 0.25},
            {"exit", outcome == 0   ? 0
                     : outcome == 3 ? 143
                                    : 1}};
}

// Three stations, three pods, 45 boards over five hours: some fail their first write-verify
// and pass on the second half a minute later, a few are interrupted, two have hostile ids.
// Then the bad lines.
inline std::string LineLogText() {
    std::string text;
    for (int i = 0; i < 45; ++i) {
        const int outcome = i % 7 == 3 ? 1 : i % 11 == 5 ? 2 : i % 13 == 8 ? 3 : 0;
        char time[32];
        std::snprintf(time, sizeof time, "2026-12-07T%02d:%02d:00Z", 6 + i / 10, 10 + i);
        text += BoardRecord(i, outcome, time).dump() + "\n";
        if (outcome != 0) {
            text += BoardRecord(i, 0, std::string(time).replace(17, 2, "30")).dump() + "\n";
        }
    }
    return text + kBadLines;
}

// The figures, from the records alone, in a few lines each.
struct LineFigures {
    int runs = 0, passed = 0, failed = 0, interrupted = 0, boards = 0, firstPass = 0;
    std::map<std::string, std::pair<int, int>> stations;  // runs, passed
    std::map<std::string, int> failures;                  // status: runs
};

inline LineFigures ExpectedFigures(const std::string& log) {
    LineFigures f;
    std::map<std::string, bool> firstRun;  // board: its first write-verify passed
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        const nlohmann::json r = nlohmann::json::parse(line, nullptr, false);
        if (r.is_discarded() || !r.is_object() || !r.contains("exit")) {
            continue;
        }
        const bool passed = r["exit"] == 0;
        const bool interrupted = r["status"] == "interrupted";
        ++f.runs;
        f.passed += passed;
        f.interrupted += interrupted;
        f.failed += !passed && !interrupted;
        auto& station = f.stations[r["host"]];
        ++station.first;
        station.second += passed;
        if (!passed) {
            ++f.failures[r["status"]];
        }
        if (r["command"] == "write-verify") {
            firstRun.emplace(r["board"], passed);  // the log is in time order
        }
    }
    f.boards = static_cast<int>(firstRun.size());
    for (const auto& [board, passed] : firstRun) {
        f.firstPass += passed;
    }
    return f;
}

inline std::string Percent(int part, int whole) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %%", 100.0 * part / whole);
    return text;
}
