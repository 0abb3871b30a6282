#include "report/LogReader.h"

#include <fstream>

#include "Utf8Path.h"
#include "records/SystemReason.h"

namespace {

// Lines of one file named on stderr before the rest are only counted.
constexpr std::uint64_t kNamedLines = 20;

}  // namespace

bool LogReader::Read(const std::string& path, std::string& error) {
    std::ifstream in(Utf8Path(path), std::ios::binary);
    if (!in) {
        error = "cannot read the log " + path + SystemReason(path);
        return false;
    }
    path_ = path;
    lineNumber_ = 0;
    named_ = 0;
    unnamed_ = 0;
    std::string line;
    while (!Interrupted() && std::getline(in, line)) {
        ++lineNumber_;
        Line(line, !in.eof());
    }
    if (in.bad()) {
        error = "cannot read the log " + path + SystemReason(path);
        return false;
    }
    if (unnamed_ > 0) {
        warn_(path + ": " + std::to_string(unnamed_) + " more line" + (unnamed_ == 1 ? "" : "s") +
              " not read, or read with fields this vantix-cli does not know");
    }
    return true;
}

void LogReader::Line(std::string& line, bool ended) {
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    if (line.find_first_not_of(" \t\f\v") == std::string::npos) {
        Note(counts_.blank, "blank, skipped");
        return;
    }
    switch (parser_.Parse(line, record_)) {
        case RecordLineParser::Outcome::Record:
            if (!parser_.UnknownField().empty()) {
                Note(counts_.unknownFields,
                     "a record with fields this vantix-cli does not know (\"" +
                         parser_.UnknownField() + "\"), read all the same");
            }
            ++counts_.records;
            sink_(record_);
            break;
        case RecordLineParser::Outcome::NotJson:
            if (!ended) {
                Note(counts_.cutShort, "cut short (its writer was stopped?), skipped");
            } else {
                Note(counts_.notJson, "not JSON, skipped");
            }
            break;
        case RecordLineParser::Outcome::NotRecord:
            Note(counts_.notRecord, "not a record (" + parser_.Why() + "), skipped");
            break;
    }
}

void LogReader::Note(std::uint64_t& kind, const std::string& what) {
    ++kind;
    if (named_ < kNamedLines) {
        ++named_;
        warn_(path_ + ":" + std::to_string(lineNumber_) + ": " + what);
    } else {
        ++unnamed_;
    }
}
