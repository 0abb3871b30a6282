#pragma once

#include <cstdint>

#include "PodDisplays.h"

// Stands in for every display until the form hands its own over, so a driver used without
// displays (a script, a test) reports into nothing instead of through a null reference.
class NullDisplay final : public StatusDisplay,
                          public ProgressDisplay,
                          public MessageDisplay,
                          public LedDisplay {
public:
    void SetText(const char*) override {}
    void RepaintNow() override {}
    void SetRange(std::int32_t, std::int32_t) override {}
    std::int32_t SetPos(std::int32_t) override { return -1; }
    void AddMessage(const char*, std::uint32_t) override {}
    void SetActive(bool) override {}
    void SetActiveColor(std::uint32_t) override {}
    void SetInactiveColor(std::uint32_t) override {}
};
