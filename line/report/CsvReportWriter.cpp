#include "report/CsvReportWriter.h"

#include "records/IsoTime.h"

namespace {

std::string YesNo(const std::optional<bool>& value) {
    return value ? (*value ? "yes" : "no") : "";
}

}  // namespace

std::string CsvReportWriter::Field(const std::string& text) {
    std::string field = text;
    if (!field.empty() && (field[0] == '=' || field[0] == '+' || field[0] == '-' ||
                           field[0] == '@' || static_cast<unsigned char>(field[0]) < 0x20)) {
        field.insert(0, 1, '\'');
    }
    if (field.find_first_of(",\"\r\n") == std::string::npos) {
        return field;
    }
    std::string quoted = "\"";
    for (const char c : field) {
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    }
    return quoted + '"';
}

void CsvReportWriter::Write(const ReportFigures& figures, std::ostream& out) {
    out << "board,serial,runs,programming_runs,first_time,first_pass,last_time,final_pass,"
           "station,pod,last_command,last_status\r\n";
    for (const ReportFigures::Board& board : figures.boardRows) {
        out << Field(board.board) << ',' << (board.serial ? std::to_string(*board.serial) : "")
            << ',' << board.runs << ',' << board.programmingRuns << ',' << UtcText(board.firstTime)
            << ',' << YesNo(board.firstPassed) << ',' << UtcText(board.lastTime) << ','
            << YesNo(board.finalPassed) << ',' << Field(board.station) << ','
            << Field(board.pod.value_or("")) << ',' << Field(board.command) << ','
            << Field(board.status) << "\r\n";
    }
}
