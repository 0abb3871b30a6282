#pragma once

#include <chrono>

#include "DeviceClock.h"

// The monotonic clock, counted from the clock's making.
class SteadyDeviceClock final : public DeviceClock {
public:
    std::uint64_t NowUs() override;
    void WaitUntil(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
                   std::uint64_t atUs) override;

private:
    const std::chrono::steady_clock::time_point origin_ = std::chrono::steady_clock::now();
};
