#include "SteadyDeviceClock.h"

std::uint64_t SteadyDeviceClock::NowUs() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                          std::chrono::steady_clock::now() - origin_)
                                          .count());
}

void SteadyDeviceClock::WaitUntil(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
                                  std::uint64_t atUs) {
    wake.wait_until(lock, origin_ + std::chrono::microseconds(atUs));
}
