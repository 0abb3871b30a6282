#include "SimulatedD2xxLibrary.h"

#include "SimulatedPod.h"
#include "SimulatedPodRack.h"

SimulatedD2xxLibrary::SimulatedD2xxLibrary(SimulatedPod& pod) : pod_(pod), api_(pod) {}

SimulatedD2xxLibrary::SimulatedD2xxLibrary(std::unique_ptr<SimulatedPod> pod)
    : owned_(std::move(pod)), pod_(*owned_), api_(*owned_) {}

SimulatedD2xxLibrary::SimulatedD2xxLibrary(std::unique_ptr<SimulatedPodRack> rack)
    : rack_(std::move(rack)), pod_(rack_->PodAt(0)), api_(*rack_) {}

SimulatedD2xxLibrary::~SimulatedD2xxLibrary() = default;

D2xxApi* SimulatedD2xxLibrary::Load() {
    if (missing_) {
        lastError_ = "the simulated D2XX library is set missing";
        return nullptr;
    }
    ++loads_;
    lastError_.clear();
    return &api_;
}

bool SimulatedD2xxLibrary::DeviceGone() const {
    if (!rack_) {
        return pod_.Unplugged();
    }
    for (std::size_t i = 0; i < rack_->Size(); ++i) {
        if (rack_->PodAt(i).Unplugged()) {
            return true;
        }
    }
    return false;
}

void SimulatedD2xxLibrary::Free() {
    ++frees_;
}
