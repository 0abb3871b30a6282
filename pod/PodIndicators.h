#pragma once

#include <array>
#include <cstdint>

#include "NullDisplay.h"
#include "PodDisplays.h"

// What the driver reports through while it works: the status line, the progress bar, the
// message window and the four step lamps. Borrowed, never owned; until a front end hands
// its own over, reports go nowhere.
class PodIndicators {
public:
    static constexpr int kLedCount = 4;

    PodIndicators() = default;
    PodIndicators(const PodIndicators&) = delete;
    PodIndicators& operator=(const PodIndicators&) = delete;

    void SetDisplays(StatusDisplay& status, ProgressDisplay& progress, MessageDisplay& messages);
    void SetLeds(LedDisplay& led1, LedDisplay& led2, LedDisplay& led3, LedDisplay& led4);

    // The text is visible when this returns: nothing else repaints while a sequence runs.
    void ShowStatus(const char* text);
    // The bar takes positions modulo 65536.
    void ShowProgress(std::uint32_t position);
    void ShowRange(std::uint32_t upper);
    void AddMessage(const char* text, std::uint32_t colour);
    // Steps 1 to 4 light LED 1 to 4, red when failed; other steps change nothing.
    void UpdateLed(int step, bool failed);
    // Every step from this one up to 4 lit as not failed.
    void LightStepsFrom(int step);

private:
    NullDisplay nullDisplay_;
    StatusDisplay* status_ = &nullDisplay_;
    ProgressDisplay* progress_ = &nullDisplay_;
    MessageDisplay* messages_ = &nullDisplay_;
    std::array<LedDisplay*, kLedCount> leds_ = {&nullDisplay_, &nullDisplay_, &nullDisplay_,
                                                &nullDisplay_};
};
