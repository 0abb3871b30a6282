#include "LedLampDisplay.h"

#include "CiLedRoundX.h"
#include "PendingEvents.h"

void LedLampDisplay::SetActive(bool lit) {
    led_.SetActive(lit);
}

void LedLampDisplay::SetActiveColor(std::uint32_t colour) {
    led_.SetActiveColor(colour);
}

void LedLampDisplay::SetInactiveColor(std::uint32_t colour) {
    led_.SetInactiveColor(colour);
}

void LedLampDisplay::RepaintNow() {
    led_.RepaintNow();
    PendingEvents::Process();
}
