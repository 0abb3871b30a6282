#pragma once

#include <cstdint>
#include <string>

class OptionReader;
struct CliOptions;

// Reads the serial options into `options` (whose command is known) and checks that they go
// together: each needs --serial-at, verify checks one --serial-value, the others take their
// numbers from --serial-counter, --serial-series or --serial-start, and the number fits the
// serial's width.
// The first refusal, or empty when they are sound. What needs the image (where the address
// lies, which words the file fills) is checked once the file is loaded.
std::string ReadSerialOptions(const OptionReader& reader, CliOptions& options);

// "serial number 65536 does not fit 16 bits (--serial-words 1)"
std::string SerialTooLargeText(std::uint64_t number, int words);
// The largest serial number of that many words.
std::uint64_t LargestSerial(int words);
