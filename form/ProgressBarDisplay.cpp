#include "ProgressBarDisplay.h"

#include "CPercentProgressCtrl.h"
#include "PendingEvents.h"

void ProgressBarDisplay::SetRange(std::int32_t lower, std::int32_t upper) {
    bar_.SetRange(lower, upper);
}

std::int32_t ProgressBarDisplay::SetPos(std::int32_t position) {
    const std::int32_t previous = bar_.SetPos(position);
    PendingEvents::Process();
    return previous;
}
