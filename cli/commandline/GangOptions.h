#pragma once

#include <string>

class OptionReader;
struct CliOptions;

// Reads --pods ("all", or serial numbers separated by commas) into `options`; --pod, a global
// option, does not go with it. The refusal, or empty when the value is sound.
std::string ReadPodsOption(const OptionReader& reader, CliOptions& options);
