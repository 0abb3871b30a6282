#include "report/HtmlReportWriter.h"

#include <cstdio>

#include <nlohmann/json.hpp>

#include "records/ImageDigests.h"
#include "records/IsoTime.h"

namespace {

// A text from a record shows at most this many bytes, so that the page stays small
// whatever the records hold.
constexpr std::size_t kLongestText = 160;
// The failure texts the chart shows (the table shows more).
constexpr std::size_t kChartedFailures = 20;

const char* const kStyle = R"(
body{font-family:"Liberation Sans",Arial,sans-serif;margin:0 auto;max-width:1180px;padding:16px 24px;color:#1b1b1b}
h1{font-size:1.6em;margin:0 0 4px}h2{font-size:1.25em;border-bottom:2px solid #1565c0;padding-bottom:2px;margin-top:28px}
.meta{color:#555;margin:0 0 8px}
.figures{display:flex;flex-wrap:wrap;gap:10px;margin:8px 0}
.figure{border:1px solid #ccd;border-radius:6px;padding:8px 14px;min-width:120px;background:#f6f8fc}
.figure .label{display:block;font-size:.85em;color:#555}.figure .value{font-size:1.5em;font-weight:bold}
.figure .note{display:block;font-size:.8em;color:#555}
.passed{color:#2e7d32}.failed{color:#c62828}.interrupted{color:#ef6c00}
table{border-collapse:collapse;margin:8px 0;font-size:.9em}
th,td{border:1px solid #ccd;padding:3px 8px;text-align:left;vertical-align:top}
th{background:#eef1f8}td.n{text-align:right;font-variant-numeric:tabular-nums}
td.t{word-break:break-all}.hash{font-family:"Liberation Mono",monospace;font-size:.85em}
.unreleased{color:#b00000;font-weight:bold}
.chart{position:relative;height:260px;margin:8px 0}.chart.small{height:200px}
.notice{background:#fff4e5;border:1px solid #ef6c00;padding:6px 10px;border-radius:4px}
details{margin:6px 0}summary{cursor:pointer;color:#1565c0}
)";

// Draws the charts from the figures the page carries; every figure is in the tables too.
const char* const kChartScript = R"((function () {
  'use strict';
  if (typeof Chart === 'undefined') { return; }
  var data = JSON.parse(document.getElementById('report-data').textContent);
  var green = '#2e7d32', red = '#c62828', blue = '#1565c0';
  function bar(id, labels, datasets, options) {
    var canvas = document.getElementById(id);
    if (!canvas) { return; }
    new Chart(canvas, {type: 'bar', data: {labels: labels, datasets: datasets}, options: {
      animation: false, responsive: true, maintainAspectRatio: false,
      indexAxis: options.horizontal ? 'y' : 'x',
      scales: {x: {stacked: !!options.stacked}, y: {stacked: !!options.stacked, beginAtZero: true,
                                                    ticks: {autoSkip: !options.horizontal}}},
      plugins: {legend: {display: datasets.length > 1}}}});
  }
  bar('chart-periods', data.periods.labels, [
    {label: 'passed', data: data.periods.passed, backgroundColor: green},
    {label: 'failed', data: data.periods.failed, backgroundColor: red}], {stacked: true});
  data.cycleTimes.forEach(function (command, i) {
    bar('chart-cycle-' + i, command.labels,
        [{label: 'runs', data: command.bins, backgroundColor: blue}], {});
  });
  bar('chart-failures', data.failures.labels,
      [{label: 'runs', data: data.failures.runs, backgroundColor: red}], {horizontal: true});
})();
)";

std::string Number(std::uint64_t value) {
    return std::to_string(value);
}

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string Seconds(double value) {
    return Fixed(value, 3) + " s";
}

// "93.3 %", or a dash when there is nothing to share.
std::string Percent(std::uint64_t part, std::uint64_t whole) {
    return whole == 0
               ? "–"
               : Fixed(100.0 * static_cast<double>(part) / static_cast<double>(whole), 1) + " %";
}

// A record's text, cut short at a whole character, escaped.
std::string Shown(std::string_view text) {
    if (text.size() <= kLongestText) {
        return HtmlReportWriter::Escaped(text);
    }
    std::size_t end = kLongestText;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    return HtmlReportWriter::Escaped(text.substr(0, end)) + "…";
}

std::string Shown(const std::string& text) {
    return Shown(std::string_view(text));
}

std::string Shown(const std::optional<std::string>& text) {
    return text ? Shown(std::string_view(*text)) : std::string();
}

std::string Figure(const char* name, const char* label, const std::string& value,
                   const std::string& note = "", const char* tone = "") {
    std::string html = "<div class=\"figure\"><span class=\"label\">" + std::string(label) +
                       "</span><span class=\"value " + tone + "\" data-figure=\"" + name + "\">" +
                       value + "</span>";
    if (!note.empty()) {
        html += "<span class=\"note\" data-figure=\"" + std::string(name) + "-note\">" + note +
                "</span>";
    }
    return html + "</div>";
}

std::string Cell(const std::string& html, const char* kind = "") {
    return std::string("<td") + (*kind != '\0' ? std::string(" class=\"") + kind + "\"" : "") +
           ">" + html + "</td>";
}

// The script's SHA-256 as the page's policy names it: 'sha256-BASE64'.
std::string ScriptHash(const std::string& script) {
    Sha256Stream digest;
    digest.Add(script.data(), script.size());
    const std::string hex = digest.Hex();
    static const char kBase64[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        unsigned value = static_cast<unsigned char>(bytes[i]) << 16;
        value |= i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) << 8 : 0u;
        value |= i + 2 < bytes.size() ? static_cast<unsigned char>(bytes[i + 2]) : 0u;
        for (std::size_t j = 0; j < 4; ++j) {
            text += i + j <= bytes.size() ? kBase64[(value >> (18 - 6 * j)) & 0x3F] : '=';
        }
    }
    return "'sha256-" + text + "'";
}

// The library as a script element holds it: it may not close the element early.
std::string InScript(std::string script) {
    for (std::size_t at = 0; (at = script.find("</", at)) != std::string::npos; at += 3) {
        script.replace(at, 2, "<\\/");
    }
    return script;
}

}  // namespace

HtmlReportWriter::HtmlReportWriter(const ReportFigures& figures,
                                   std::optional<std::string> chartLibrary, std::string madeAt)
    : figures_(figures), chartLibrary_(std::move(chartLibrary)), madeAt_(std::move(madeAt)) {
    if (chartLibrary_) {
        chartLibrary_ = InScript(std::move(*chartLibrary_));
    }
}

std::string HtmlReportWriter::Escaped(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            case '\'':
                escaped += "&#39;";
                break;
            default:
                escaped += c;
                break;
        }
    }
    return escaped;
}

void HtmlReportWriter::Write(std::ostream& out) const {
    Head(out);
    Totals(out);
    Yield(out);
    Periods(out);
    CycleTimes(out);
    Groups(out);
    Failures(out);
    FailedRuns(out);
    Serials(out);
    Scripts(out);
    out << "</body>\n</html>\n";
}

void HtmlReportWriter::Head(std::ostream& out) const {
    const ReportFigures& f = figures_;
    std::string policy =
        "default-src 'none'; style-src 'unsafe-inline'; img-src data:; script-src " +
        ScriptHash(kChartScript);
    if (chartLibrary_) {
        policy += " " + ScriptHash(*chartLibrary_);
    }
    const std::string span = f.firstTime ? UtcText(*f.firstTime) + " to " + UtcText(*f.lastTime)
                                         : std::string("no records");
    out << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        << "<meta http-equiv=\"Content-Security-Policy\" content=\"" << policy << "\">\n"
        << "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        << "<title>Yield report, " << span << "</title>\n<style>" << kStyle << "</style>\n"
        << "</head>\n<body>\n<h1>Yield report</h1>\n<p class=\"meta\">Made by vantix-cli at "
        << madeAt_ << " from ";
    for (std::size_t i = 0; i < f.sources.size(); ++i) {
        out << (i > 0 ? ", " : "") << "<span class=\"t\">" << Shown(f.sources[i]) << "</span>";
    }
    if (f.filter.since || f.filter.until || f.filter.sha256) {
        out << "; only runs" << (f.filter.since ? " from " + UtcTextMicros(*f.filter.since) : "")
            << (f.filter.until ? " before " + UtcTextMicros(*f.filter.until) : "")
            << (f.filter.sha256 ? " of the image " + *f.filter.sha256 : "");
    }
    out << ".</p>\n";
    if (!chartLibrary_) {
        out << "<p class=\"notice\" id=\"no-charts\">No charts: Chart.js (Debian's package "
               "libjs-chart.js) was not found where the report was made. Every figure is in "
               "the tables.</p>\n";
    }
}

void HtmlReportWriter::Totals(std::ostream& out) const {
    const ReportFigures& f = figures_;
    out << "<section id=\"totals\">\n<h2>Totals</h2>\n<div class=\"figures\">"
        << Figure("boards", "Boards", Number(f.boards)) << Figure("runs", "Runs", Number(f.runs))
        << Figure("passed", "Passed", Number(f.passed), Percent(f.passed, f.runs), "passed")
        << Figure("failed", "Failed", Number(f.failed), Percent(f.failed, f.runs), "failed")
        << Figure("interrupted", "Interrupted", Number(f.interrupted),
                  Percent(f.interrupted, f.runs), "interrupted")
        << (f.unknown == 0 ? std::string()
                           : Figure("unknown", "Ended unknown (the station stopped)",
                                    Number(f.unknown), Percent(f.unknown, f.runs), "interrupted"))
        << (f.refusedBeforePod == 0
                ? std::string()
                : Figure("refused", "Refused before the pod (no board)", Number(f.refusedBeforePod),
                         Percent(f.refusedBeforePod, f.runs), "failed"))
        << "</div>\n<p>From <time data-figure=\"first-time\">"
        << (f.firstTime ? UtcText(*f.firstTime) : "–")
        << "</time> to <time data-figure=\"last-time\">"
        << (f.lastTime ? UtcText(*f.lastTime) : "–") << "</time> (UTC).</p>\n";
    const LineCounts& lines = f.lines;
    out << "<p>Lines that could not be read: <span data-figure=\"lines-skipped\">"
        << lines.Skipped() << "</span> (" << lines.blank << " blank, " << lines.notJson
        << " not JSON, " << lines.cutShort << " cut short, " << lines.notRecord
        << " not records), skipped. Records with fields this vantix-cli does not know, read all "
           "the same: <span data-figure=\"unknown-fields\">"
        << lines.unknownFields << "</span>.";
    if (lines.duplicates > 0) {
        out << " Copies of runs read before (the same run in the station database and a log, "
               "or in two logs), each run counted once: <span data-figure=\"duplicates\">"
            << lines.duplicates << "</span>.";
    }
    out << "</p>\n";
    if (f.recordsNotKept > 0) {
        out << "<p>Runs whose record could not be kept when their board ran (exit 4, as an "
               "older vantix-cli wrote it; the board passed when its sequence did): <span "
               "data-figure=\"records-not-kept\">"
            << f.recordsNotKept << "</span>.</p>\n";
    }
    Images(out);
    out << "</section>\n";
}

void HtmlReportWriter::Images(std::ostream& out) const {
    // Only the station database knows what was released, and when.
    const bool known = figures_.unreleasedRuns.has_value();
    out << "<h3>Images</h3>\n";
    if (known) {
        out << "<p>Boards programmed with an image that was not released at the time (runs "
               "without the check of a serial series, such as those from before it): <span "
               "data-figure=\"unreleased-runs\">"
            << *figures_.unreleasedRuns << "</span>.</p>\n";
    } else {
        out << "<p>Which images were released only the station database knows; this report "
               "read none.</p>\n";
    }
    out << "<table id=\"images\"><thead><tr><th>file</th><th>SHA-256</th><th>runs</th>"
        << (known ? "<th>released (series, CPU, from, to)</th><th>programmed unreleased</th>"
                  : "")
        << "</tr></thead><tbody>\n";
    for (const ReportFigures::Image& image : figures_.images) {
        out << "<tr>" << Cell(Shown(image.file), "t")
            << Cell("<span class=\"hash\">" + Shown(image.sha256) + "</span>", "t")
            << Cell(Number(image.runs), "n");
        if (known) {
            std::string released;
            for (const std::string& release : image.releases) {
                released += (released.empty() ? "" : "<br>") + Shown(release);
            }
            out << Cell(released.empty() ? "<span class=\"unreleased\">not released</span>"
                                         : released,
                        "t")
                << Cell(Number(image.unreleasedRuns), "n");
        }
        out << "</tr>\n";
    }
    out << "</tbody></table>\n";
    if (figures_.imagesLeft > 0) {
        out << "<p>and " << figures_.imagesLeft << " more images.</p>\n";
    }
}

void HtmlReportWriter::Yield(std::ostream& out) const {
    const ReportFigures& f = figures_;
    out << "<section id=\"yield\">\n<h2>First-pass yield</h2>\n<div class=\"figures\">"
        << Figure("first-pass-yield", "First-pass yield", Percent(f.firstPass, f.boardsProgrammed),
                  Number(f.firstPass) + " of " + Number(f.boardsProgrammed) + " boards")
        << Figure("final-yield", "Final yield", Percent(f.finalPass, f.boardsProgrammed),
                  Number(f.finalPass) + " of " + Number(f.boardsProgrammed) + " boards")
        << Figure("reworked", "Programmed more than once", Number(f.reworked),
                  Percent(f.reworked, f.boardsProgrammed) + " of the boards")
        << "</div>\n<p>A board is known by its board id, else by its serial number; a run with "
           "neither is a board of its own. First-pass yield is the share of the programmed boards "
           "(write or write-verify) whose first programming run passed; final yield, those whose "
           "last one did.</p>\n</section>\n";
}

std::string HtmlReportWriter::OddTimes() const {
    const ReportFigures& f = figures_;
    if (f.oddTimes == 0) {
        return {};
    }
    return "<p class=\"notice\">Left out of this chart: <span data-figure=\"odd-times\">" +
           Number(f.oddTimes) + "</span> runs whose time, from " + UtcText(*f.earliestOddTime) +
           " to " + UtcText(*f.latestOddTime) +
           ", is before 2000 or after this report was made: a station's clock was wrong. The "
           "other figures count them.</p>\n";
}

void HtmlReportWriter::Periods(std::ostream& out) const {
    const ReportFigures& f = figures_;
    const std::int64_t hours = f.periodSeconds / 3600;
    const std::string per = hours == 1     ? "hour"
                            : hours == 24  ? "day"
                            : hours == 168 ? "week"
                                           : std::to_string(hours) + " hours";
    out << "<section id=\"per-hour\">\n<h2>Boards per " << per << "</h2>\n"
        << "<p>Write and write-verify runs that passed and that failed (interrupted ones "
           "among them), per "
        << per << " from the first to the last (UTC).</p>\n" << OddTimes()
        << "<div class=\"chart\"><canvas id=\"chart-periods\"></canvas></div>\n"
        << "<details><summary>The figures</summary><table id=\"periods\"><thead><tr><th>from</th>"
           "<th>passed</th><th>failed</th></tr></thead><tbody>\n";
    for (const ReportFigures::Period& period : f.periods) {
        out << "<tr>" << Cell(UtcText(period.start)) << Cell(Number(period.passed), "n")
            << Cell(Number(period.failed), "n") << "</tr>\n";
    }
    out << "</tbody></table></details>\n</section>\n";
}

void HtmlReportWriter::CycleTimes(std::ostream& out) const {
    out << "<section id=\"cycle-time\">\n<h2>Cycle time</h2>\n<p>Seconds of each command's runs "
           "that started, whatever their outcome (a run refused before the pod, or whose pod "
           "was out of reach, has none); the median and the 95th percentile are nearest-rank "
           "values of the runs.</p>\n<table id=\"cycle-times\"><thead><tr><th>command</th><th>runs</th>"
           "<th>median</th><th>95th percentile</th><th>fastest</th><th>slowest</th></tr></thead>"
           "<tbody>\n";
    for (const ReportFigures::CycleTime& c : figures_.cycleTimes) {
        out << "<tr>" << Cell(Shown(c.command), "t") << Cell(Number(c.runs), "n")
            << Cell(Seconds(c.median), "n") << Cell(Seconds(c.p95), "n")
            << Cell(Seconds(c.min), "n") << Cell(Seconds(c.max), "n") << "</tr>\n";
    }
    out << "</tbody></table>\n";
    if (figures_.commandsLeft > 0) {
        out << "<p>and " << figures_.commandsLeft << " more commands, with fewer runs.</p>\n";
    }
    for (std::size_t i = 0; i < figures_.cycleTimes.size(); ++i) {
        const ReportFigures::CycleTime& c = figures_.cycleTimes[i];
        out << "<h3>" << Shown(c.command)
            << "</h3>\n<div class=\"chart small\"><canvas id=\"chart-cycle-" << i
            << "\"></canvas></div>\n<details><summary>The figures</summary><table "
            << "class=\"bins\"><thead><tr><th>seconds</th><th>runs</th></tr></thead><tbody>\n";
        for (std::size_t b = 0; b < c.bins.size(); ++b) {
            const double from = c.min + c.binWidth * static_cast<double>(b);
            const std::string range = b + 1 == c.bins.size()
                                          ? Fixed(from, 3) + " and more"
                                          : Fixed(from, 3) + " to " + Fixed(from + c.binWidth, 3);
            out << "<tr>" << Cell(range) << Cell(Number(c.bins[b]), "n") << "</tr>\n";
        }
        out << "</tbody></table></details>\n";
    }
    out << "</section>\n";
}

void HtmlReportWriter::Groups(std::ostream& out) const {
    out << "<section id=\"by-station\">\n<h2>By station and by pod</h2>\n<p>Each station's and "
           "each pod's runs, the share that passed, and the median seconds of those that "
           "started.</p>\n";
    const auto table = [&out](const char* id, const char* what, const auto& groups,
                              std::uint64_t left) {
        out << "<h3>By " << what << "</h3>\n<table id=\"" << id << "\"><thead><tr><th>" << what
            << "</th><th>runs</th><th>passed</th><th>yield</th><th>median</th></tr></"
               "thead><tbody>\n";
        for (const ReportFigures::Group& g : groups) {
            out << "<tr>" << Cell(g.name.empty() ? "(none)" : Shown(g.name), "t")
                << Cell(Number(g.runs), "n") << Cell(Number(g.passed), "n")
                << Cell(Percent(g.passed, g.runs), "n")
                << Cell(g.medianSeconds ? Seconds(*g.medianSeconds) : "–", "n")
                << "</tr>\n";
        }
        out << "</tbody></table>\n";
        if (left > 0) {
            out << "<p>and " << left << " more, with fewer runs.</p>\n";
        }
    };
    table("stations", "station", figures_.stations, figures_.stationsLeft);
    table("pods", "pod", figures_.pods, figures_.podsLeft);
    out << "</section>\n";
}

void HtmlReportWriter::Failures(std::ostream& out) const {
    const ReportFigures& f = figures_;
    out << "<section id=\"failures-by-step\">\n<h2>Failures by step</h2>\n<p><span "
           "data-figure=\"failed-runs\">"
        << f.failedRuns
        << "</span> runs did not pass; their status texts, the most frequent first.</p>\n";
    if (!f.failures.empty()) {
        // A bar a text, each with its label: the chart grows with the texts it shows.
        const std::size_t bars = std::min(f.failures.size(), kChartedFailures);
        out << "<div class=\"chart\" style=\"height:" << std::max<std::size_t>(260, 24 * bars + 60)
            << "px\"><canvas id=\"chart-failures\"></canvas></div>\n";
    }
    out << "<table id=\"failures\"><thead><tr><th>status</th><th>runs</th><th>share</th></tr>"
           "</thead><tbody>\n";
    for (const ReportFigures::Count& failure : f.failures) {
        out << "<tr>" << Cell(Shown(failure.text), "t") << Cell(Number(failure.runs), "n")
            << Cell(Percent(failure.runs, f.failedRuns), "n") << "</tr>\n";
    }
    out << "</tbody></table>\n";
    if (f.failureTextsLeft > 0) {
        out << "<p>and " << f.failureTextsLeft << " more texts, of " << f.failureRunsLeft
            << " runs.</p>\n";
    }
    out << "</section>\n";
}

void HtmlReportWriter::FailedRuns(std::ostream& out) const {
    const ReportFigures& f = figures_;
    out << "<section id=\"failed-boards\">\n<h2>Failed boards</h2>\n<p>The last <span "
           "data-figure=\"failed-rows\">"
        << f.lastFailures.size() << "</span> of <span data-figure=\"failed-board-runs\">"
        << f.failedBoardRuns
        << "</span> runs on boards that did not pass, the latest first.</p>\n<table "
           "id=\"failed\"><thead><tr><th>time</th><th>station</th><th>pod</th><th>board</th>"
           "<th>serial</th><th>command</th><th>status</th></tr></thead><tbody>\n";
    for (const ReportFigures::FailedRun& run : f.lastFailures) {
        out << "<tr>" << Cell(UtcText(run.time)) << Cell(Shown(run.station), "t")
            << Cell(Shown(run.pod), "t") << Cell(Shown(run.board), "t")
            << Cell(run.serial ? Number(*run.serial) : "", "n") << Cell(Shown(run.command), "t")
            << Cell(Shown(run.status), "t") << "</tr>\n";
    }
    out << "</tbody></table>\n</section>\n";
}

void HtmlReportWriter::Serials(std::ostream& out) const {
    out << "<section id=\"serial-numbers\">\n<h2>Serial numbers</h2>\n<p>The numbers write and "
           "write-verify runs took, per series (in a log, where the number was written stands "
           "for its series), and those taken by runs that failed: gaps in the series, as a "
           "number is never taken twice.</p>\n<table id=\"series\"><thead><tr><th>series</th>"
           "<th>first</th><th>last</th><th>used</th><th>taken by failed runs</th><th>their "
           "numbers</th></tr></thead><tbody>\n";
    for (const ReportFigures::Series& s : figures_.series) {
        std::string numbers;
        for (const auto& [first, last] : s.failedRanges) {
            numbers += (numbers.empty() ? "" : ", ") + Number(first) +
                       (last != first ? "–" + Number(last) : "");
        }
        if (s.failedRangesLeft > 0) {
            numbers += " and " + Number(s.failedRangesLeft) + " more ranges";
        }
        out << "<tr>" << Cell(Shown(s.name), "t") << Cell(Number(s.first), "n")
            << Cell(Number(s.last), "n") << Cell(Number(s.used), "n") << Cell(Number(s.failed), "n")
            << Cell(numbers) << "</tr>\n";
    }
    out << "</tbody></table>\n";
    if (figures_.seriesLeft > 0) {
        out << "<p>and " << figures_.seriesLeft << " more series, with fewer numbers.</p>\n";
    }
    out << "</section>\n";
}

void HtmlReportWriter::Scripts(std::ostream& out) const {
    if (chartLibrary_) {
        out << "<script>" << *chartLibrary_ << "</script>\n";
    }
    out << "<script type=\"application/json\" id=\"report-data\">" << ChartData() << "</script>\n"
        << "<script>" << kChartScript << "</script>\n";
}

std::string HtmlReportWriter::ChartData() const {
    using nlohmann::json;
    json periods = {
        {"labels", json::array()}, {"passed", json::array()}, {"failed", json::array()}};
    for (const ReportFigures::Period& period : figures_.periods) {
        periods["labels"].push_back(UtcText(period.start).substr(0, 16));
        periods["passed"].push_back(period.passed);
        periods["failed"].push_back(period.failed);
    }
    json cycleTimes = json::array();
    for (const ReportFigures::CycleTime& c : figures_.cycleTimes) {
        json labels = json::array();
        for (std::size_t b = 0; b < c.bins.size(); ++b) {
            labels.push_back(Fixed(c.min + c.binWidth * static_cast<double>(b), 3));
        }
        cycleTimes.push_back({{"labels", labels}, {"bins", c.bins}});
    }
    json failures = {{"labels", json::array()}, {"runs", json::array()}};
    for (std::size_t i = 0; i < figures_.failures.size() && i < kChartedFailures; ++i) {
        failures["labels"].push_back(figures_.failures[i].text.substr(0, 60));
        failures["runs"].push_back(figures_.failures[i].runs);
    }
    const json data = {{"periods", periods}, {"cycleTimes", cycleTimes}, {"failures", failures}};
    // Inside a script element, only "<" could end it early; & and > go too, for old parsers.
    std::string text = data.dump(-1, ' ', false, json::error_handler_t::replace);
    std::string safe;
    for (const char c : text) {
        safe += c == '<'   ? std::string("\\u003c")
                : c == '>' ? std::string("\\u003e")
                : c == '&' ? std::string("\\u0026")
                           : std::string(1, c);
    }
    return safe;
}
