#pragma once

#include "PodDisplays.h"

class CMessageWindow;

// The message window as the pod driver and the commands see it.
class MessageWindowDisplay final : public MessageDisplay {
public:
    explicit MessageWindowDisplay(CMessageWindow& window) : window_(window) {}
    // The line is on screen when this returns.
    void AddMessage(const char* text, std::uint32_t colour) override;

private:
    CMessageWindow& window_;
};
