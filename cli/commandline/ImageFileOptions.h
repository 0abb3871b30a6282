#pragma once

#include <string>

class OptionReader;
struct CliOptions;

// The image a command reads and the CPU it is for. Each reader returns the first refusal, or
// empty when what it reads is sound.

// FILE and --cpu, which a command that reads a file needs.
std::string ReadImageFile(const OptionReader& reader, CliOptions& options);
// --cpu alone, for a command that works on the CPU's memory map without a file.
std::string ReadCpu(const OptionReader& reader, CliOptions& options);
// --expect-sha256, and whether a job file pinned it (the refusal of another image names where
// the expectation came from).
std::string ReadExpectedImage(const OptionReader& reader, CliOptions& options);
