#pragma once

#include <ostream>
#include <string>

#include "report/ReportFigures.h"

// One row per board, in the order of their first runs (RFC 4180: commas, quotes doubled,
// CRLF line ends). A text from a record that a spreadsheet would take for a formula (it
// begins with =, +, -, @ or a control character) is written with a ' in front, so that
// opening the file never runs it.
class CsvReportWriter {
public:
    static void Write(const ReportFigures& figures, std::ostream& out);
    // One field, quoted where it needs to be.
    static std::string Field(const std::string& text);
};
