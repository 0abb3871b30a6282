#pragma once

#include "CUsbPod.h"
#include "PodResult.h"
#include "RegionSelection.h"

// The six operation commands as the host fuzzers run them on an open pod.
enum class FuzzCommand { Write, WriteVerify, Verify, Reset, PodWrite, PodVerify };
inline constexpr int kFuzzCommandCount = 6;

// The command's PodResult; Target Reset gives 0 or 1.
PodResult RunFuzzCommand(CUsbPod& pod, FuzzCommand command, const RegionSelection& selection,
                         bool eraseAllBoot, bool resetAfterWrite);
