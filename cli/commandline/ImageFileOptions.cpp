#include "commandline/ImageFileOptions.h"

#include "commandline/OptionReader.h"
#include "commandline/OptionValues.h"

constexpr OptionInfo kCpuRow = {
    Program::Cli, nullptr, "cpu", false, ValueKind::Cpu, "CPU",
    "DSP56F801, DSP56F803, DSP56F805, DSP56F807 or 801, 803,\n805, 807, in any letter case; a "
    "DSP56F801 file is read and\nviewed (info, dump), never programmed",
    0, 0, nullptr};

constexpr OptionInfo kExpectSha256Row = {
    Program::Cli, nullptr, "expect-sha256", false, ValueKind::Text, "HEX",
    "program only the image whose SHA-256 is HEX (info shows it): a\n"
    "file whose bytes loaded have another one is refused with exit 2,\n"
    "before the pod is touched; a station's job file pins it",
    0, 0, "--expect-sha256 wants the 64 hex digits of a SHA-256, not '%s'"};

constexpr OptionInfo kStrictRow = {
    Program::Cli, nullptr, "strict", true, ValueKind::Flag, nullptr,
    "refuse a file with reader warnings (bad checksums, malformed\n"
    "records, words outside the CPU's flash, words written again\n"
    "with another value, S1/S2 records, records after the end\n"
    "record, text that is no S3 record): exit 2, before the pod is\n"
    "touched",
    0, 0, nullptr};

std::string ReadImageFile(const OptionReader& reader, ImageFile& image) {
    const std::optional<std::string> file = reader.Operand("FILE");
    if (!file) {
        return "'" + reader.CommandName() + "' needs FILE, the S-record file";
    }
    image.path = *file;
    return ReadCpu(reader, image.cpu);
}

std::string ReadCpu(const OptionReader& reader, CpuType& cpu) {
    const std::optional<std::string> given = reader.Text(kCpuRow);
    if (!given) {
        return "'" + reader.CommandName() + "' needs --cpu CPU (" + kCpuChoices + ")";
    }
    const std::optional<CpuType> named = CpuFromName(*given);
    if (!named) {
        return Refusal(kCpuRow, *given);
    }
    cpu = *named;
    return {};
}

std::string ReadExpectedImage(const OptionReader& reader, std::optional<ExpectedImage>& expected) {
    const std::optional<std::string> given = reader.Text(kExpectSha256Row);
    if (!given) {
        return {};
    }
    const std::optional<std::string> sha256 = ReadSha256(*given);
    if (!sha256) {
        return Refusal(kExpectSha256Row, *given);
    }
    expected = ExpectedImage{*sha256, reader.FromJobFile(kExpectSha256Row)};
    return {};
}
