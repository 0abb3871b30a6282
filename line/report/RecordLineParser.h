#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "report/ReportRecord.h"

// Reads one record, a JSON object as --log writes it or the station database keeps it, into
// what the report needs. Events of a streaming parser fill the fields one by one, so that a
// record is never built as a tree: the regions and the pod's info lines are passed over.
class RecordLineParser : public nlohmann::json_sax<nlohmann::json> {
public:
    enum class Outcome {
        Record,     // read; `unknownField` names a field this program does not know
        NotJson,    // not a JSON text, or cut short
        NotRecord,  // JSON, but not a record: `why` says what is missing or wrong
    };

    Outcome Parse(std::string_view text, ReportRecord& record);
    const std::string& Why() const { return why_; }
    const std::string& UnknownField() const { return unknownField_; }

    bool null() override;
    bool boolean(bool value) override;
    bool number_integer(number_integer_t value) override;
    bool number_unsigned(number_unsigned_t value) override;
    bool number_float(number_float_t value, const string_t& text) override;
    bool string(string_t& value) override;
    bool binary(binary_t& value) override;
    bool start_object(std::size_t elements) override;
    bool key(string_t& name) override;
    bool end_object() override;
    bool start_array(std::size_t elements) override;
    bool end_array() override;
    bool parse_error(std::size_t position, const std::string& token,
                     const nlohmann::detail::exception& error) override;

private:
    enum class Field : std::uint8_t;

    // A value at the record's top level; false stops the parser.
    bool Number(double value, bool whole, bool negative);
    bool Text(string_t& value);
    bool Null();
    bool Wrong(const char* what);
    // The value of a field passed over (nested, or one the report does not use).
    bool Skipped() const;

    ReportRecord* record_ = nullptr;
    int depth_ = 0;
    Field field_{};
    std::string key_;  // the field being read
    unsigned seen_ = 0;  // the required fields read, a bit each
    bool hasStation_ = false;
    bool objectSeen_ = false;
    bool jsonError_ = false;
    std::string why_;
    std::string unknownField_;
};
