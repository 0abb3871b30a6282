#include "commandline/ImageFileOptions.h"

#include "commandline/CliOptionRows.h"
#include "commandline/OptionReader.h"
#include "commandline/OptionValues.h"

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
