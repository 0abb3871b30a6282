#include "PodIndicators.h"

void PodIndicators::SetDisplays(StatusDisplay& status, ProgressDisplay& progress,
                                MessageDisplay& messages) {
    status_ = &status;
    progress_ = &progress;
    messages_ = &messages;
}

void PodIndicators::SetLeds(LedDisplay& led1, LedDisplay& led2, LedDisplay& led3,
                            LedDisplay& led4) {
    leds_ = {&led1, &led2, &led3, &led4};
}

void PodIndicators::ShowStatus(const char* text) {
    status_->SetText(text);
    status_->RepaintNow();
}

void PodIndicators::ShowProgress(std::uint32_t position) {
    progress_->SetPos(static_cast<std::int32_t>(position & 0xFFFF));
}

void PodIndicators::ShowRange(std::uint32_t upper) {
    progress_->SetRange(0, static_cast<std::int32_t>(upper));
}

void PodIndicators::AddMessage(const char* text, std::uint32_t colour) {
    messages_->AddMessage(text, colour);
}

void PodIndicators::UpdateLed(int step, bool failed) {
    if (step < 1 || step > kLedCount) {
        return;
    }
    LedDisplay& led = *leds_[step - 1];
    if (failed) {
        led.SetActiveColor(kLedFailedLit);
        led.SetInactiveColor(kLedFailedUnlit);
    }
    led.SetActive(true);
    led.RepaintNow();
}

void PodIndicators::LightStepsFrom(int step) {
    for (int k = step; k <= kLedCount; ++k) {
        UpdateLed(k, false);
    }
}
