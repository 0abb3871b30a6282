#pragma once

#include "D2xxLibrary.h"

// Hands the driver one given set of D2XX calls, as a loaded library would.
class FixedD2xxLibrary final : public D2xxLibrary {
public:
    explicit FixedD2xxLibrary(D2xxApi& api) : api_(api) {}
    D2xxApi* Load() override { return &api_; }
    void Free() override {}
    const char* Name() const override { return "benchmark device"; }

private:
    D2xxApi& api_;
};
