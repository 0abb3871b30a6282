#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The simulated pod's working time for a run, summed from its frame log with the figures of
// SimTiming: what the pod spends on the target and its EEPROM between receiving a frame and
// sending the reply. The host waits for every reply before it sends the next frame, so this
// time never overlaps the wire; taking it off a run's duration leaves wire, latency and
// whatever the host adds itself.
class SimWorkTime {
public:
    // frameLog as SimulatedPod::FrameLog() gives it: "G1", "X04007FF000", "T1234", ...
    static std::uint64_t TotalUs(const std::vector<std::string>& frameLog);
    static std::uint64_t FrameUs(const std::string& frame, std::uint64_t collectedWords);
};
