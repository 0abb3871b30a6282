#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "CUsbPod.h"
#include "CallTap.h"
#include "Clock.h"
#include "ProgrammerCommands.h"
#include "RecordingUi.h"
#include "sim/SimEeprom.h"
#include "sim/SimulatedPod.h"

class SFileImage;

enum class SweepCommand {
    TargetWrite,
    TargetWriteVerify,
    TargetVerify,
    PodWrite,
    PodVerify,
    TargetReset
};

// A late reply comes this long after the reply time-out of its command: past the device
// read (200 ms) and the silence that follows it.
inline constexpr std::uint32_t kLateBeyondTimeoutMs = 500;

// One fault injected into the simulated pod for a whole run.
struct SweepFault {
    // Late: the reply comes after the host's time-out; Twice: it comes twice; Stray: a "!"
    // nobody sent comes first; Cut: O's record stops half way.
    enum class Kind { None, Silence, WrongByte, Objection, Unplug, Late, Twice, Stray, Cut };
    Kind kind = Kind::None;
    char letter = 0;     // Silence, WrongByte, Late, Twice, Stray, Cut: the command character
    int occurrence = 0;  //   and which frame with it, from 1
    int batch = 0;       // Objection: the n-th write carrying T frames
    int call = 0;        // Unplug: the n-th D2XX call and every later one fail
};

// What the simulated pod holds before a run: target flash and EEPROM contents.
struct SweepPodState {
    std::vector<std::uint16_t> program;  // empty: erased
    std::vector<std::uint16_t> data;
    bool eepromStored = false;
    SimEeprom::InfoRecord record;
    SimEeprom::Blocks blocks;
};

// The command as a person runs it from the window or the command line.
struct SweepScenario {
    std::string name;
    const SFileImage* image = nullptr;
    SweepCommand command = SweepCommand::TargetWrite;
    bool eraseAllBoot = false;
    bool resetAfterWrite = false;
    std::vector<RegionListItem> list;  // every listed region ticked
    SweepPodState start;
};

// One run of one command through ProgrammerCommands, against a fresh simulated pod in
// virtual time, everything it touched kept for inspection.
class SweepRun {
public:
    SweepRun(const SweepScenario& scenario, const SweepFault& fault);
    SweepRun(const SweepRun&) = delete;
    SweepRun& operator=(const SweepRun&) = delete;

    CommandOutcome Execute();

    // The pod's state after a run, for the start of the next scenario.
    SweepPodState PodState() const;

    const SweepScenario& scenario;
    VirtualClock clock;
    SimulatedPod sim{clock};
    CallTap tap{sim, clock};
    CUsbPod pod;
    RecordingUi ui;
    ProgrammerCommands commands;
    std::uint64_t elapsedUs = 0;
};
