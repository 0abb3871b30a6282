#pragma once

#include "PodDisplays.h"

class CPercentProgressCtrl;

// The progress bar as the pod driver and the commands see it.
class ProgressBarDisplay final : public ProgressDisplay {
public:
    explicit ProgressBarDisplay(CPercentProgressCtrl& bar) : bar_(bar) {}
    void SetRange(std::int32_t lower, std::int32_t upper) override;
    // The bar repaints itself when its filled part moves; pending events are then
    // let through.
    std::int32_t SetPos(std::int32_t position) override;

private:
    CPercentProgressCtrl& bar_;
};
