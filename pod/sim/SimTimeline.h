#pragma once

#include <cstdint>

class Clock;
class VirtualClock;

// The simulated pod's sense of time in microseconds. Instant pace drives a virtual clock
// forward itself, so a wait costs nothing; real-time pace reads the clock and sleeps on it
// in 1 ms steps, so a person watching sees the pod take its time.
class SimTimeline {
public:
    // Instant pace.
    explicit SimTimeline(VirtualClock& clock);
    // Real-time pace on any clock (a virtual one too: its sleeps then advance it).
    explicit SimTimeline(Clock& clock);

    bool Instant() const { return virtualClock_ != nullptr; }
    std::uint64_t NowUs();
    // Returns at or after t.
    void WaitUntilUs(std::uint64_t t);

private:
    Clock& clock_;
    VirtualClock* virtualClock_ = nullptr;
    std::uint32_t lastTick_ = 0;
    std::uint64_t realUs_ = 0;  // accumulated ticks, immune to the 32-bit wrap
};
