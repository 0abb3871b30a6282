#pragma once

#include <cstdint>
#include <string>

// How one operation command ended, for a front end to word or to record.
struct CommandOutcome {
    enum class Kind {
        Refused,      // a blue message, nothing touched (unsupported CPU, no data, no selection)
        Unreachable,  // a red message from ConnectPod
        Failed,       // the sequence returned a non-zero result (status text tells which)
        Succeeded,
        ResetFailed,  // succeeded, then the reset after writing failed
    };
    Kind kind = Kind::Refused;
    std::uint16_t result = 0;  // the sequence's PodResult
    std::string statusText;    // what the status label shows afterwards ("" when unchanged)
    std::string elapsedText;   // "%.2f sec", or "" when the clock could not be read
    double seconds = 0.0;

    bool Ok() const { return kind == Kind::Succeeded; }
};
