#pragma once

#include <optional>
#include <string>

// Chart.js, which the report's page draws its charts with, put into the page whole so that
// the page opens offline on any machine. On Linux it is the system's copy (Debian's
// libjs-chart.js), read when a report is made; the Windows build carries the copy it was
// built with.
class ChartLibrary {
public:
    // The library's script; none when it cannot be had, with where it was looked for.
    static std::optional<std::string> Load(std::string& lookedAt);
};
