#include "commands/InfoCommand.h"

#include <array>
#include <string>
#include <vector>

#include "CliExit.h"
#include "SFileImage.h"
#include "commandline/CommandLineParser.h"
#include "commandline/ImageFileOptions.h"
#include "commandline/OptionReader.h"
#include "commandline/RunOutputOptions.h"
#include "records/ImageDigests.h"
#include "records/RunRecord.h"
#include "run/CliContext.h"
#include "run/CliEnvironment.h"
#include "run/ConsoleUi.h"
#include "run/ImageLoading.h"
#include "run/OutputFailure.h"

namespace {

constexpr std::array<OptionUse, 3> kOptions = {{{&kCpuRow}, {&kJsonRow}, {&kStrictRow}}};

std::string Read(const OptionReader& reader, std::unique_ptr<CommandOptions>& options) {
    auto info = std::make_unique<InfoOptions>();
    info->json = reader.Flag(kJsonRow, false);
    info->strict = reader.Flag(kStrictRow, false);
    const std::string refusal = ReadImageFile(reader, info->image);
    options = std::move(info);
    return refusal;
}

std::string Padded(const std::string& text, std::size_t width) {
    std::string cell = text;
    if (cell.size() < width) {
        cell.append(width - cell.size(), ' ');
    }
    return cell;
}

// The rows as the region list shows them, under its column headings, with each region's
// CRC-32; then the file's SHA-256 (empty when it could not be read).
void WriteInfoTable(std::ostream& out, const SFileImage& image, const std::vector<RegionRow>& rows,
                    const std::string& sha256) {
    out << "Memory Name  Start Address  Data Size      CRC-32\n";
    for (const RegionRow& row : rows) {
        out << Padded(row.name, 13) << Padded(row.startText, 15) << Padded(row.sizeText, 15)
            << Crc32Text(RegionCrc32(image, row)) << '\n';
    }
    out << "SHA-256: " << sha256 << '\n';
}

// One line, keys in the order cpu, sha256, regions, the reader's counts.
void WriteInfoJson(std::ostream& out, const SFileImage& image, const std::vector<RegionRow>& rows,
                   const std::string& sha256) {
    const SRecordDiagnostics& found = image.diagnostics;
    std::vector<RunRecord::Region> regions;
    for (const RegionRow& row : rows) {
        regions.push_back(RegionRecord(image, row));
    }
    out << "{\"cpu\":\"" << CpuName(image.cpu) << "\",\"sha256\":\"" << sha256
        << "\",\"regions\":" << RegionsJson(regions)
        << ",\"badChecksums\":" << found.badChecksums.count
        << ",\"nonHexRecords\":" << found.nonHexRecords.count
        << ",\"truncatedRecords\":" << found.truncatedRecords.count
        << ",\"droppedWords\":" << found.droppedWords.count
        << ",\"trailingText\":" << found.trailingText.count
        << ",\"oddDataBytes\":" << found.oddDataBytes.count
        << ",\"s1s2Records\":" << found.s1s2Records.count
        << ",\"recordsAfterEnd\":" << found.recordsAfterEnd.count
        << ",\"intelHexLines\":" << found.intelHexLines.count
        << ",\"junkLines\":" << found.junkLines.count
        << ",\"rewrittenWords\":" << found.rewrittenWords
        << ",\"conflictingWords\":" << found.conflictingWords.count
        << ",\"dataRecords\":" << found.dataRecords << ",\"otherRecords\":" << found.otherRecords
        << ",\"noS3Records\":" << (found.noS3Records ? "true" : "false")
        << ",\"warnings\":" << found.Count() << "}\n";
}

int Print(const InfoOptions& options, std::ostream& out, ConsoleUi& ui) {
    SFileImage image;
    std::vector<RegionRow> rows;
    std::string sha256;
    const int status = LoadImageFile(options.image.path, options.image.cpu, options.strict, image,
                                     rows, ui, &sha256);
    if (status != kExitSuccess) {
        return status;
    }
    if (sha256.empty()) {
        ui.Warning("vantix-cli: cannot compute the SHA-256 of " + options.image.path);
    }
    if (options.json) {
        WriteInfoJson(out, image, rows, sha256);
    } else {
        WriteInfoTable(out, image, rows, sha256);
    }
    if (const std::string failure = OutputFailure(out); !failure.empty()) {
        ui.Error("vantix-cli: " + failure);
        return kExitInputError;
    }
    if (rows.empty()) {
        ui.Error("vantix-cli: " + options.image.path + " holds no data for " + CpuName(image.cpu));
        return kExitInputError;
    }
    return kExitSuccess;
}

int Run(const CliParseResult& parsed, const CliContext& context) {
    return UnlessInterrupted(context.environment,
                             Print(*parsed.As<InfoOptions>(), context.out, context.ui));
}

constexpr CommandInfo kInfo = {
    .command = CliCommand::Info,
    .name = "info",
    .needsFile = true,
    .needsCpu = true,
    .summary = "list the flash regions the file fills",
    .description =
        "Reads FILE for CPU and lists the flash regions it fills, as the buffer window does:\n"
        "name, start address (\"0x%04X\") and size (\"0x%X Words\"), in the order PFLASH, "
        "P2FLASH\n(DSP56F807 only), BFLASH, DFLASH. Warnings about the file go to stderr. A "
        "file that\nfills no region is listed empty and exits with 2.\n\n"
        "--json prints one JSON object instead:\n"
        "  {\"cpu\":\"DSP56F807\",\"regions\":[{\"name\":\"PFLASH\",\"start\":4,\"end\":2291,"
        "\"words\":2288},...],\n"
        "  \"badChecksums\":0,\"nonHexRecords\":0,\"truncatedRecords\":0,\"droppedWords\":0,...,"
        "\n  \"warnings\":0}\n"
        "start and end are the lowest and highest address loaded, words end - start + 1. Each\n"
        "of the reader's counts follows: records (badChecksums, nonHexRecords, "
        "truncatedRecords,\ntrailingText, oddDataBytes, s1s2Records, recordsAfterEnd), lines "
        "(intelHexLines,\njunkLines), words (droppedWords, rewrittenWords, conflictingWords: "
        "each word once),\nthe records used (dataRecords, otherRecords), noS3Records, and "
        "warnings, their sum as\nthe pod commands' records carry it (words rewritten with the "
        "same value are none).",
    .example = "vantix-cli info examples/dsp56f807.s --cpu DSP56F807 --json",
    .options = kOptions,
    .refuseForeign = nullptr,
    .read = Read,
    .run = Run,
};

}  // namespace

const CommandInfo& InfoCommand() {
    return kInfo;
}
