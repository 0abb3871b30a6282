#include "SimTimeline.h"

#include "Clock.h"

SimTimeline::SimTimeline(VirtualClock& clock) : clock_(clock), virtualClock_(&clock) {}

SimTimeline::SimTimeline(Clock& clock) : clock_(clock), lastTick_(clock.TickMs()) {}

std::uint64_t SimTimeline::NowUs() {
    if (virtualClock_ != nullptr) {
        return virtualClock_->NowUs();
    }
    const std::uint32_t tick = clock_.TickMs();
    realUs_ += std::uint64_t{static_cast<std::uint32_t>(tick - lastTick_)} * 1000;
    lastTick_ = tick;
    return realUs_;
}

void SimTimeline::WaitUntilUs(std::uint64_t t) {
    if (virtualClock_ != nullptr) {
        const std::uint64_t now = virtualClock_->NowUs();
        if (t > now) {
            virtualClock_->AdvanceUs(t - now);
        }
        return;
    }
    while (NowUs() < t) {
        clock_.SleepMs(1);
    }
}
