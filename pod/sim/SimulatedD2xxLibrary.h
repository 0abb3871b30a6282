#pragma once

#include <memory>
#include <string>

#include "D2xxLibrary.h"

class SimulatedPod;
class SimulatedPodRack;

// Hands out the simulated pod as the D2XX calls, as the vendor library would hand out its
// entry points. SetMissing makes it behave like a machine without the library.
class SimulatedD2xxLibrary final : public D2xxLibrary {
public:
    // The pod stays the caller's.
    explicit SimulatedD2xxLibrary(SimulatedPod& pod);
    // The library keeps the pod for its lifetime.
    explicit SimulatedD2xxLibrary(std::unique_ptr<SimulatedPod> pod);
    // Several pods, each with its own serial number; the library keeps the rack.
    explicit SimulatedD2xxLibrary(std::unique_ptr<SimulatedPodRack> rack);
    ~SimulatedD2xxLibrary() override;

    D2xxApi* Load() override;
    void Free() override;
    const char* Name() const override { return "simulated pod"; }
    std::string LastError() const override { return lastError_; }
    // A pod unplugged by its faults (SimFaults::UnplugAtCall) has gone.
    bool DeviceGone() const override;

    void SetMissing(bool missing) { missing_ = missing; }
    // The first pod of a rack.
    SimulatedPod& Pod() { return pod_; }
    int Loads() const { return loads_; }
    int Frees() const { return frees_; }

private:
    std::unique_ptr<SimulatedPod> owned_;
    std::unique_ptr<SimulatedPodRack> rack_;
    SimulatedPod& pod_;
    D2xxApi& api_;
    bool missing_ = false;
    int loads_ = 0;
    int frees_ = 0;
    std::string lastError_;
};
