#pragma once

#include "PodDisplays.h"

class CStatusLabel;

// The status label as the pod driver and the commands see it.
class StatusLabelDisplay final : public StatusDisplay {
public:
    explicit StatusLabelDisplay(CStatusLabel& label) : label_(label) {}
    void SetText(const char* text) override;
    // Paints the label now, then lets pending events through, so the window stays
    // responsive while a sequence holds the thread.
    void RepaintNow() override;

private:
    CStatusLabel& label_;
};
