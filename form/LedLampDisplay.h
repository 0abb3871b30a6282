#pragma once

#include "PodDisplays.h"

class CiLedRoundX;

// One step lamp as the pod driver and the commands see it.
class LedLampDisplay final : public LedDisplay {
public:
    explicit LedLampDisplay(CiLedRoundX& led) : led_(led) {}
    void SetActive(bool lit) override;
    void SetActiveColor(std::uint32_t colour) override;
    void SetInactiveColor(std::uint32_t colour) override;
    // Paints the lamp now, then lets pending events through.
    void RepaintNow() override;

private:
    CiLedRoundX& led_;
};
