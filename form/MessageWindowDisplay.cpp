#include "MessageWindowDisplay.h"

#include "CMessageWindow.h"
#include "PendingEvents.h"

void MessageWindowDisplay::AddMessage(const char* text, std::uint32_t colour) {
    window_.AddMessage(text, colour);
    PendingEvents::Process();
}
