#pragma once

#include <string>

#include "D2xxLibrary.h"
#include "ScriptedD2xx.h"

// Hands out the scripted device as "the library", or nothing when it is missing. Load and
// free go into the device's call log so their order against the D2XX calls shows.
class ScriptedLibrary : public D2xxLibrary {
public:
    explicit ScriptedLibrary(ScriptedD2xx& device) : device_(device) {}

    bool present = true;
    int loads = 0;
    int frees = 0;

    D2xxApi* Load() override {
        ++loads;
        device_.Note("Load");
        return present ? &device_ : nullptr;
    }
    void Free() override {
        ++frees;
        device_.Note("Free");
    }
    const char* Name() const override { return "scripted"; }
    std::string LastError() const override { return present ? "" : "not installed"; }

private:
    ScriptedD2xx& device_;
};
