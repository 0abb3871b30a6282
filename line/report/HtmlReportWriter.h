#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "report/ReportFigures.h"

// The report as one HTML file that needs nothing else: its styles, the chart library and
// the charts' data are all inside, so that it opens offline, in any browser, on any machine.
// Every figure stands in the page's text (the charts only draw what the tables say), each
// with a data-figure attribute or in a table with an id, so that it can be read, searched,
// copied and checked. Every text taken from a record is escaped, and the page's policy lets
// only its own two scripts run, so that a hostile board id stays text.
class HtmlReportWriter {
public:
    // `chartLibrary`: Chart.js's script, or none (the page then says so and shows tables).
    HtmlReportWriter(const ReportFigures& figures, std::optional<std::string> chartLibrary,
                     std::string madeAt);

    void Write(std::ostream& out) const;

    // Text for an HTML element or a quoted attribute.
    static std::string Escaped(std::string_view text);

private:
    void Head(std::ostream& out) const;
    void Totals(std::ostream& out) const;
    void Images(std::ostream& out) const;
    void Yield(std::ostream& out) const;
    void Periods(std::ostream& out) const;
    // The runs the chart of boards per hour leaves out for their times, when there are some.
    std::string OddTimes() const;
    void CycleTimes(std::ostream& out) const;
    void Groups(std::ostream& out) const;
    void Failures(std::ostream& out) const;
    void FailedRuns(std::ostream& out) const;
    void Serials(std::ostream& out) const;
    void Scripts(std::ostream& out) const;
    // The charts' figures as JSON that is safe inside a script element.
    std::string ChartData() const;

    const ReportFigures& figures_;
    std::optional<std::string> chartLibrary_;
    std::string madeAt_;
};
