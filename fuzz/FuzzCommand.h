#pragma once

#include <cstdint>

#include "CUsbPod.h"
#include "PodResult.h"
#include "RegionSelection.h"

// The six operation commands as the host fuzzers run them on an open pod.
enum class FuzzCommand { Write, WriteVerify, Verify, Reset, PodWrite, PodVerify };
inline constexpr int kFuzzCommandCount = 6;

class SFileImage;

// What the first two input bytes of a host fuzzer ask for. Byte 0: the command (its value
// modulo 6), bit 6 erase all boot flash, bit 7 reset after writing; byte 1: the image (modulo
// FuzzImages::kCount), bits 4-7 the selection in MemoryRegion order.
struct FuzzRequest {
    FuzzCommand command = FuzzCommand::Write;
    bool eraseAllBoot = false;
    bool resetAfterWrite = false;
    const SFileImage* image = nullptr;
    RegionSelection selection{};

    static FuzzRequest Decode(std::uint8_t commandByte, std::uint8_t imageByte);
};

// The command's PodResult; Target Reset gives 0 or 1.
PodResult RunFuzzCommand(CUsbPod& pod, FuzzCommand command, const RegionSelection& selection,
                         bool eraseAllBoot, bool resetAfterWrite);
