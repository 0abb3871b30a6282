#include "SweepScenarios.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "RegionRows.h"
#include "TestPaths.h"

std::vector<std::uint16_t> ImageExtents(const SFileImage& image) {
    std::vector<std::uint16_t> extents = {static_cast<std::uint16_t>(image.cpu)};
    for (const RegionImage& region : image.regions) {
        extents.insert(extents.end(), {region.minAddress, region.maxAddress, region.wordCount,
                                       static_cast<std::uint16_t>(region.loaded)});
    }
    return extents;
}

std::vector<std::uint16_t> ImageWords(const SFileImage& image) {
    std::vector<std::uint16_t> words;
    for (const RegionImage& region : image.regions) {
        words.insert(words.end(), region.words, region.words + region.capacity);
    }
    return words;
}

const LoadedImage& SweepImage(CpuType cpu) {
    static std::map<CpuType, std::unique_ptr<LoadedImage>> images;
    auto& loaded = images[cpu];
    if (!loaded) {
        loaded = std::make_unique<LoadedImage>();
        SFileImage& image = loaded->image;
        image.cpu = cpu;
        image.ApplyCpuMemoryMap();
        const std::string file = cpu == CpuType::DSP56F807 ? "dsp56f807.s" : "dsp56f805.s";
        EXPECT_TRUE(image.ReadSFile(std::string(VANTIX_EXAMPLES_DIR) + "/" + file));
        for (const RegionRow& row : ListPresentRegions(image)) {
            loaded->list.push_back({row.name, true});
        }
        loaded->words = ImageWords(image);
        loaded->extents = ImageExtents(image);
    }
    return *loaded;
}

const char* CommandName(SweepCommand command) {
    switch (command) {
        case SweepCommand::TargetWrite:
            return "TargetWrite";
        case SweepCommand::TargetWriteVerify:
            return "TargetWriteVerify";
        case SweepCommand::TargetVerify:
            return "TargetVerify";
        case SweepCommand::PodWrite:
            return "PodWrite";
        case SweepCommand::PodVerify:
            return "PodVerify";
        case SweepCommand::TargetReset:
            return "TargetReset";
    }
    return "";
}

void PrintTo(CpuType cpu, std::ostream* out) {
    *out << CpuName(cpu);
}

void PrintTo(SweepCommand command, std::ostream* out) {
    *out << CommandName(command);
}

SweepScenario MakeScenario(CpuType cpu, SweepCommand command) {
    const LoadedImage& loaded = SweepImage(cpu);
    SweepScenario s;
    s.name = std::string(CpuName(cpu)) + " " + CommandName(command);
    s.image = &loaded.image;
    s.command = command;
    s.eraseAllBoot = cpu == CpuType::DSP56F807;
    s.resetAfterWrite = true;
    s.list = loaded.list;
    // Verifying needs something to compare with: the target as a clean Target Write left it,
    // the EEPROM as a clean POD Write left it.
    if (command == SweepCommand::TargetVerify || command == SweepCommand::PodVerify) {
        SweepScenario writer = s;
        writer.command = command == SweepCommand::TargetVerify ? SweepCommand::TargetWrite
                                                               : SweepCommand::PodWrite;
        SweepRun run(writer, {});
        EXPECT_TRUE(run.Execute().Ok());
        s.start = run.PodState();
    }
    return s;
}
