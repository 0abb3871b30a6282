#include "StatusLabelDisplay.h"

#include "CStatusLabel.h"
#include "PendingEvents.h"

void StatusLabelDisplay::SetText(const char* text) {
    label_.SetText(text);
}

void StatusLabelDisplay::RepaintNow() {
    label_.RepaintNow();
    PendingEvents::Process();
}
