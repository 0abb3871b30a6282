#pragma once

#include <string>

class OptionReader;
struct CliOptions;

// Each command's reading of its options: the first refusal, or empty when they are sound.
// Every one reads in the order the refusals have always come: the command's flags, then FILE
// and --cpu, the regions, the serial options, --pods and --expect-sha256.
// write and write-verify.
std::string ReadTargetWriteOptions(const OptionReader& reader, CliOptions& options);
std::string ReadVerifyOptions(const OptionReader& reader, CliOptions& options);
