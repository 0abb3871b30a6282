#pragma once

#include <string>

class OptionReader;
struct CliOptions;

// Reads the report's options into `options`; the refusal, or empty when they are sound.
std::string ReadReportOptions(const OptionReader& reader, CliOptions& options);
