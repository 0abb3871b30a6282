#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "CommandPositions.h"
#include "ProgrammerCommands.h"
#include "SweepRun.h"

// What a person must see after a command when one fault hits one position: the outcome,
// the sequence's result, the status line, the message window and the lamps. Worked out from
// the frame at the position (its letter, its region) and the command, never from the
// driver's own tables.
struct ExpectedOutcome {
    using Line = std::pair<std::string, std::uint32_t>;

    CommandOutcome::Kind kind = CommandOutcome::Kind::Succeeded;
    std::uint16_t result = 0;
    std::string status;           // exact, or the text before the elapsed seconds
    bool statusIsPrefix = false;  // success: "... Completed - " then "%.2f sec"
    std::vector<Line> messages;
    std::string leds = "0000";     // RecordingUi::LedPattern
    bool failsAtPosition = false;  // the run ends at the faulted frame

    static ExpectedOutcome Clean(const SweepScenario& scenario);
    static ExpectedOutcome For(const SweepScenario& scenario, const CommandPosition& position,
                               SweepFault::Kind fault);
    // A D2XX error on one of the calls that find, open and configure the pod.
    static ExpectedOutcome ForOpenCall(const std::string& callName);
};
