#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "ProgrammerCommands.h"
#include "SFileImage.h"
#include "SweepRun.h"

// The example images the sweep programs, loaded once and listed as File Load lists them,
// with a copy of every word to prove a run left them alone.
struct LoadedImage {
    SFileImage image;
    std::vector<RegionListItem> list;
    std::vector<std::uint16_t> words;
    std::vector<std::uint16_t> extents;
};

// examples/dsp56f807.s or examples/dsp56f805.s.
const LoadedImage& SweepImage(CpuType cpu);
std::vector<std::uint16_t> ImageWords(const SFileImage& image);
std::vector<std::uint16_t> ImageExtents(const SFileImage& image);
const char* CommandName(SweepCommand command);
// Parameters by name in test output rather than as raw bytes.
void PrintTo(CpuType cpu, std::ostream* out);
void PrintTo(SweepCommand command, std::ostream* out);

// A command on an image as a person runs it: the DSP56F807 with the whole boot flash erased,
// the DSP56F805 page by page, both resetting the target after writing. Verifying commands
// start from the pod a clean write left behind.
SweepScenario MakeScenario(CpuType cpu, SweepCommand command);
