#include "Clock.h"

#include <chrono>
#include <thread>

std::uint32_t SteadyClock::TickMs() {
    const auto sinceStart = std::chrono::steady_clock::now().time_since_epoch();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(sinceStart).count();
    // Truncation to 32 bits is intended: callers compare ticks by unsigned difference.
    return static_cast<std::uint32_t>(ms);
}

void SteadyClock::SleepMs(std::uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
