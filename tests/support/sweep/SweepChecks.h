#pragma once

#include <string>

#include "ExpectedOutcome.h"
#include "SweepRun.h"

// Everything a finished run must show: the outcome, status line, messages and lamps that
// were expected, the busy state undone, the pod closed after a purge (or at least a close
// tried when the device vanished), the loaded image untouched, and a pod that holds the
// image whenever a write claims success.
void ExpectRun(SweepRun& run, const CommandOutcome& outcome, const ExpectedOutcome& expected,
               const SweepFault& fault);

// The target flash (target commands) or the EEPROM (pod commands) holds every word of the
// image's present regions, and the EEPROM record this image; "" when it does, else the first
// difference.
std::string ImageDifference(const SweepRun& run);
void ExpectPodHoldsImage(const SweepRun& run);
