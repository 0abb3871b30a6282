#pragma once

#include <optional>
#include <string>
#include <vector>

#include "commandline/CliOptions.h"

// The report command's arguments as given, before they are read into their types.
struct ReportCommandTexts {
    std::vector<std::string> logs;      // the values of --log, in the order given
    std::vector<std::string> operands;  // the further files after --log
    std::optional<std::string> html;
    std::optional<std::string> csv;
    std::optional<std::string> since;
    std::optional<std::string> until;
    std::optional<std::string> image;
};

// Reads the report's options into `options`; the refusal, or empty when they are sound.
std::string ReadReportOptions(const ReportCommandTexts& given, CliOptions& options);
