#pragma once

#include <optional>
#include <string>

#include "commandline/CliOptions.h"

// Reads --pods ("all", or serial numbers separated by commas) into `options`, whose --pod
// is known: the two do not go together. The refusal, or empty when the value is sound.
std::string ReadPodsOption(const std::optional<std::string>& given, CliOptions& options);
