#include "SimulatedD2xxLibrary.h"

#include "SimulatedPod.h"

SimulatedD2xxLibrary::SimulatedD2xxLibrary(SimulatedPod& pod) : pod_(pod) {}

SimulatedD2xxLibrary::SimulatedD2xxLibrary(std::unique_ptr<SimulatedPod> pod)
    : owned_(std::move(pod)), pod_(*owned_) {}

SimulatedD2xxLibrary::~SimulatedD2xxLibrary() = default;

D2xxApi* SimulatedD2xxLibrary::Load() {
    if (missing_) {
        lastError_ = "the simulated D2XX library is set missing";
        return nullptr;
    }
    ++loads_;
    lastError_.clear();
    return &pod_;
}

void SimulatedD2xxLibrary::Free() {
    ++frees_;
}
