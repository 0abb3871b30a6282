#pragma once

#include "D2xxLibrary.h"

// Hands the host driver one device's calls, as the vendor library would.
class BabblingLibrary final : public D2xxLibrary {
public:
    explicit BabblingLibrary(D2xxApi& api) : api_(api) {}
    D2xxApi* Load() override { return &api_; }
    void Free() override {}
    const char* Name() const override { return "babbling pod"; }

private:
    D2xxApi& api_;
};
