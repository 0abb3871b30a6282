#include "report/RecordLineParser.h"

#include <array>
#include <cmath>
#include <utility>

#include "records/IsoTime.h"

enum class RecordLineParser::Field : std::uint8_t {
    Time,
    Host,
    Station,
    Command,
    Status,
    Seconds,
    Exit,
    File,
    Sha256,
    Pod,
    Board,
    Serial,
    SerialAt,
    Result,
    Run,
    Cpu,
    Release,
    Unused,   // a field of the record the report does not need
    Unknown,  // a field this program does not know, from a newer one
};

namespace {

// The fields a record must have, a bit each by their place in the field list.
// time, command, status, seconds and exit.
constexpr unsigned kRequired = 0b1111001;

struct FieldName {
    std::string_view name;
    int field;
};

// Every field a record of this program holds.
constexpr std::array<FieldName, 24> kFields = {{
    {"time", 0},       {"host", 1},         {"station", 2},    {"command", 3},   {"status", 4},
    {"seconds", 5},    {"exit", 6},         {"file", 7},       {"sha256", 8},    {"pod", 9},
    {"board", 10},     {"serial", 11},      {"serial_at", 12}, {"result", 13},   {"run", 14},
    {"warnings", 17},  {"cpu", 15},         {"regions", 17},   {"info", 17},     {"file_hex", 17},
    {"pod_hex", 17},   {"board_hex", 17},   {"station_hex", 17}, {"release", 16},
}};

const char* const kNames[] = {"time", "host", "station", "command", "status", "seconds", "exit"};

// The fraction of the second a time names ("09:41:05.25Z": 250000), to the microsecond.
std::uint32_t Microseconds(std::string_view time) {
    const std::size_t point = time.find_first_of(".,", 10);
    std::uint32_t value = 0;
    std::size_t digits = 0;
    for (std::size_t at = point + 1; point != std::string_view::npos && at < time.size() &&
                                     time[at] >= '0' && time[at] <= '9';
         ++at) {
        if (digits++ < 6) {
            value = value * 10 + static_cast<std::uint32_t>(time[at] - '0');
        }
    }
    for (; digits < 6; ++digits) {
        value *= 10;
    }
    return value;
}

}  // namespace

RecordLineParser::Outcome RecordLineParser::Parse(std::string_view text, ReportRecord& record) {
    record = {};
    record_ = &record;
    depth_ = 0;
    seen_ = 0;
    hasStation_ = false;
    objectSeen_ = false;
    jsonError_ = false;
    why_.clear();
    unknownField_.clear();
    const bool read = nlohmann::json::sax_parse(text.begin(), text.end(), this);
    if (jsonError_) {
        return Outcome::NotJson;
    }
    if (!read) {
        return Outcome::NotRecord;
    }
    if (!objectSeen_) {
        why_ = "not an object";
        return Outcome::NotRecord;
    }
    for (unsigned bit = 0; bit < 7; ++bit) {
        if ((kRequired & (1u << bit)) != 0 && (seen_ & (1u << bit)) == 0) {
            why_ = std::string("no \"") + kNames[bit] + "\"";
            return Outcome::NotRecord;
        }
    }
    if (!hasStation_) {
        record.station = record.host;
    }
    return Outcome::Record;
}

bool RecordLineParser::Wrong(const char* what) {
    why_ = "\"" + key_ + "\" " + what;
    return false;
}

bool RecordLineParser::Skipped() const {
    return depth_ != 1 || field_ == Field::Unused || field_ == Field::Unknown;
}

bool RecordLineParser::Null() {
    if (Skipped()) {
        return true;
    }
    switch (field_) {
        case Field::File:
        case Field::Sha256:
        case Field::Pod:
        case Field::Board:
        case Field::Serial:
        case Field::SerialAt:
        case Field::Result:
        case Field::Run:
        case Field::Cpu:
        case Field::Release:
            return true;  // none, as the record's optional already says
        default:
            return Wrong("is null");
    }
}

bool RecordLineParser::Number(double value, bool whole, bool negative) {
    if (Skipped()) {
        return true;
    }
    switch (field_) {
        case Field::Seconds:
            if (!(value >= 0 && value < 1e9)) {
                return Wrong("is not a duration");
            }
            record_->seconds = value;
            break;
        case Field::Exit:
            if (!whole || std::fabs(value) > 1e6) {
                return Wrong("is not an exit status");
            }
            record_->exit = static_cast<int>(value);
            break;
        case Field::Serial:
            if (!whole || negative) {
                return Wrong("is not a serial number");
            }
            record_->serial = static_cast<std::uint64_t>(value);
            return true;
        case Field::Result:
            if (!whole || std::fabs(value) > 1e6) {
                return Wrong("is not a result");
            }
            record_->result = static_cast<int>(value);
            return true;
        default:
            return Wrong("is a number");
    }
    seen_ |= 1u << static_cast<unsigned>(field_);
    return true;
}

bool RecordLineParser::Text(string_t& value) {
    if (Skipped()) {
        return true;
    }
    ReportRecord& r = *record_;
    switch (field_) {
        case Field::Time: {
            const std::optional<std::int64_t> time = ParseIsoTime(value);
            if (!time) {
                return Wrong("is not a time");
            }
            r.time = *time;
            r.microseconds = Microseconds(value);
            break;
        }
        case Field::Host:
            r.host = std::move(value);
            break;
        case Field::Station:
            r.station = std::move(value);
            hasStation_ = true;
            break;
        case Field::Command:
            r.command = std::move(value);
            break;
        case Field::Status:
            r.status = std::move(value);
            break;
        case Field::File:
            r.file = std::move(value);
            return true;
        case Field::Sha256:
            r.sha256 = std::move(value);
            return true;
        case Field::Pod:
            r.pod = std::move(value);
            return true;
        case Field::Board:
            r.board = std::move(value);
            return true;
        case Field::SerialAt:
            r.serialAt = std::move(value);
            return true;
        case Field::Run:
            r.run = std::move(value);
            return true;
        case Field::Cpu:
            r.cpu = std::move(value);
            return true;
        case Field::Release:
            r.release = std::move(value);
            return true;
        default:
            return Wrong("is text");
    }
    seen_ |= 1u << static_cast<unsigned>(field_);
    return true;
}

bool RecordLineParser::null() {
    return Null();
}

bool RecordLineParser::boolean(bool) {
    return Skipped() || Wrong("is true or false");
}

bool RecordLineParser::number_integer(number_integer_t value) {
    return Number(static_cast<double>(value), true, value < 0);
}

bool RecordLineParser::number_unsigned(number_unsigned_t value) {
    if (!Skipped() && field_ == Field::Serial) {
        record_->serial = value;  // every bit of it, past what a double holds
        return true;
    }
    return Number(static_cast<double>(value), true, false);
}

bool RecordLineParser::number_float(number_float_t value, const string_t&) {
    return Number(value, false, value < 0);
}

bool RecordLineParser::string(string_t& value) {
    return Text(value);
}

bool RecordLineParser::binary(binary_t&) {
    return Skipped() || Wrong("is binary");
}

bool RecordLineParser::start_object(std::size_t) {
    objectSeen_ = objectSeen_ || depth_ == 0;
    if (depth_ == 1 && !Skipped()) {
        return Wrong("is an object");
    }
    ++depth_;
    return true;
}

bool RecordLineParser::key(string_t& name) {
    if (depth_ != 1) {
        return true;
    }
    field_ = Field::Unknown;
    for (const FieldName& known : kFields) {
        if (known.name == name) {
            field_ = static_cast<Field>(known.field);
            break;
        }
    }
    if (field_ == Field::Unknown && unknownField_.empty()) {
        unknownField_ = name;
    }
    key_ = std::move(name);
    return true;
}

bool RecordLineParser::end_object() {
    --depth_;
    return true;
}

bool RecordLineParser::start_array(std::size_t) {
    if (depth_ == 0) {
        why_ = "an array, not a record";
        return false;
    }
    if (depth_ == 1 && !Skipped()) {
        return Wrong("is a list");
    }
    ++depth_;
    return true;
}

bool RecordLineParser::end_array() {
    --depth_;
    return true;
}

bool RecordLineParser::parse_error(std::size_t, const std::string&,
                                   const nlohmann::detail::exception&) {
    jsonError_ = true;
    return false;
}
