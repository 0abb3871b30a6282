#pragma once

#include <cstdint>

#include "Clock.h"

// The host's clock with a tally of its sleeps: every millisecond the driver sleeps on its
// own account shows here, apart from the time the device makes it wait inside a call.
class CountingClock final : public Clock {
public:
    explicit CountingClock(Clock& clock) : clock_(clock) {}

    std::uint32_t TickMs() override { return clock_.TickMs(); }
    void SleepMs(std::uint32_t ms) override {
        sleptMs_ += ms;
        ++sleeps_;
        clock_.SleepMs(ms);
    }

    std::uint64_t SleptMs() const { return sleptMs_; }
    std::uint64_t Sleeps() const { return sleeps_; }
    void Reset() { sleptMs_ = sleeps_ = 0; }

private:
    Clock& clock_;
    std::uint64_t sleptMs_ = 0;
    std::uint64_t sleeps_ = 0;
};
