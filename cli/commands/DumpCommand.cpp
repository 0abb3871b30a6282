#include "commands/DumpCommand.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

#include "CliExit.h"
#include "SFileImage.h"
#include "commandline/CommandLineParser.h"
#include "commandline/ImageFileOptions.h"
#include "commandline/OptionReader.h"
#include "commandline/TargetOptions.h"
#include "run/CliContext.h"
#include "run/CliEnvironment.h"
#include "run/ConsoleUi.h"
#include "run/ImageLoading.h"
#include "run/OutputFailure.h"

namespace {

constexpr std::array<OptionUse, 2> kOptions = {{{&kCpuRow}, {&kRegionRow}}};

std::string Read(const OptionReader& reader, std::unique_ptr<CommandOptions>& options) {
    auto dump = std::make_unique<DumpOptions>();
    std::string refusal = ReadImageFile(reader, dump->image);
    if (refusal.empty()) {
        refusal = ReadRegion(reader, dump->region);
    }
    options = std::move(dump);
    return refusal;
}

constexpr int kWordsPerRow = 8;

// The whole region as the hex view lays it out, from the region's map start for its map
// size, 8 words a row: "AAAA: wwww wwww wwww wwww wwww wwww wwww wwww".
void WriteRegionDump(std::ostream& out, const SFileImage& image, MemoryRegion region) {
    const AddressArea& area = image.Area(region);
    const RegionImage& loaded = image.Region(region);
    const std::uint32_t size = std::min(area.size, loaded.capacity);
    std::string row;
    char text[8];
    for (std::uint32_t i = 0; i < size; i += kWordsPerRow) {
        std::snprintf(text, sizeof text, "%04X:", static_cast<unsigned>((area.start + i) & 0xFFFF));
        row = text;
        for (std::uint32_t k = i; k < i + kWordsPerRow && k < size; ++k) {
            std::snprintf(text, sizeof text, " %04X", static_cast<unsigned>(loaded.words[k]));
            row += text;
        }
        row += '\n';
        out << row;
    }
}

int Print(const DumpOptions& options, std::ostream& out, ConsoleUi& ui) {
    SFileImage image;
    std::vector<RegionRow> rows;
    const int status = LoadImageFile(options.image.path, options.image.cpu, false, image, rows, ui);
    if (status != kExitSuccess) {
        return status;
    }
    if (rows.empty()) {
        ui.Error("vantix-cli: " + options.image.path + " holds no data for " + CpuName(image.cpu));
        return kExitInputError;
    }
    MemoryRegion region = rows.front().region;
    if (options.region) {
        if (FindRow(rows, *options.region) == nullptr) {
            ui.Error(std::string("vantix-cli: region ") + RegionName(*options.region) +
                     " is not present in the file for this CPU");
            return kExitInputError;
        }
        region = *options.region;
    }
    WriteRegionDump(out, image, region);
    if (const std::string failure = OutputFailure(out); !failure.empty()) {
        ui.Error("vantix-cli: " + failure);
        return kExitInputError;
    }
    return kExitSuccess;
}

int Run(const CliParseResult& parsed, const CliContext& context) {
    return UnlessInterrupted(context.environment,
                             Print(*parsed.As<DumpOptions>(), context.out, context.ui));
}

constexpr CommandInfo kDump = {
    .command = CliCommand::Dump,
    .name = "dump",
    .needsFile = true,
    .needsCpu = true,
    .summary = "print one region's words as the hex view shows them",
    .description =
        "Prints one region of FILE as the hex view shows it: all of it as the CPU's memory map\n"
        "lays it out, unloaded words as FFFF, in rows \"AAAA: wwww wwww ...\" of 8 words in\n"
        "upper-case hexadecimal (AAAA the first word's address, data-space for DFLASH).",
    .example = "vantix-cli dump examples/dsp56f805.s --cpu 805 --region DFLASH",
    .options = kOptions,
    .refuseForeign = nullptr,
    .read = Read,
    .run = Run,
};

}  // namespace

const CommandInfo& DumpCommand() {
    return kDump;
}
