#pragma once

#include <optional>
#include <string>

#include "CpuType.h"
#include "OptionTable.h"

class OptionReader;

// FILE and the CPU it is for.
struct ImageFile {
    std::string path;
    CpuType cpu = CpuType::DSP56F807;
};

// --expect-sha256: the SHA-256 of the only image to program, in lower case, and whether a job
// file pinned it (the refusal of another image names where the expectation came from).
struct ExpectedImage {
    std::string sha256;
    bool fromJobFile = false;
};

// How a command that programs or verifies a file loads it.
struct FileLoad {
    ImageFile image;
    bool strict = false;  // reader findings refuse the file
    std::optional<ExpectedImage> expected;
};

// The image a command reads and the CPU it is for. Each reader returns the first refusal, or
// empty when what it reads is sound.

// FILE and --cpu, which a command that reads a file needs.
std::string ReadImageFile(const OptionReader& reader, ImageFile& image);
// --cpu alone, for a command that works on the CPU's memory map without a file.
std::string ReadCpu(const OptionReader& reader, CpuType& cpu);
// --expect-sha256, and whether a job file pinned it.
std::string ReadExpectedImage(const OptionReader& reader, std::optional<ExpectedImage>& expected);

// The rows of the options that say which image a command loads and how.
extern const OptionInfo kCpuRow;
extern const OptionInfo kExpectSha256Row;
extern const OptionInfo kStrictRow;
