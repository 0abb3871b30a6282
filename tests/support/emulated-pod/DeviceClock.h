#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

// The time of the emulated devices, in microseconds from an origin of the clock's own, and
// the one wait the device's service thread makes on it. Given to each device, so that a
// test can set the time the device sees.
class DeviceClock {
public:
    virtual ~DeviceClock() = default;
    virtual std::uint64_t NowUs() = 0;
    // Waits on wake, whose lock is held, until the time atUs has come or wake is notified.
    virtual void WaitUntil(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
                           std::uint64_t atUs) = 0;
};
