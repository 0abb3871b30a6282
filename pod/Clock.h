#pragma once

#include <cstdint>

// Time enters the driver only through this seam, so every time-out can run in virtual time.
class Clock {
public:
    virtual ~Clock() = default;
    // Millisecond tick; wraps like any 32-bit tick counter.
    virtual std::uint32_t TickMs() = 0;
    virtual void SleepMs(std::uint32_t ms) = 0;
};

// The real monotonic clock.
class SteadyClock final : public Clock {
public:
    std::uint32_t TickMs() override;
    void SleepMs(std::uint32_t ms) override;
};

// Virtual time for tests and the instant simulated pod: sleeping advances the tick.
class VirtualClock final : public Clock {
public:
    std::uint32_t TickMs() override { return static_cast<std::uint32_t>(nowUs_ / 1000); }
    void SleepMs(std::uint32_t ms) override { nowUs_ += std::uint64_t{ms} * 1000; }
    void AdvanceUs(std::uint64_t us) { nowUs_ += us; }
    std::uint64_t NowUs() const { return nowUs_; }

private:
    std::uint64_t nowUs_ = 0;
};
