#include "BackendSelection.h"

#include <filesystem>

#include "Clock.h"
#include "FallbackD2xxLibrary.h"
#include "SerialOrderedLibrary.h"
#include "Utf8Path.h"
#include "VendorD2xxLibrary.h"
#include "sim/SimulatedD2xxLibrary.h"
#include "sim/SimulatedPod.h"
#include "sim/SimulatedPodRack.h"
#ifdef VANTIX_HAVE_LIBFTDI
#include "LibFtdiLibrary.h"
#endif

namespace {

std::unique_ptr<SimulatedPod> MakeSimulatedPod(const BackendOptions& options, Clock& clock,
                                               const std::string& statePath, std::string& error) {
    auto* virtualClock = dynamic_cast<VirtualClock*>(&clock);
    auto pod =
        (virtualClock && !options.simRealtime)
            ? std::make_unique<SimulatedPod>(*virtualClock, SimPace::Instant, options.simFill)
            : std::make_unique<SimulatedPod>(clock, options.simFill);
    std::error_code ignored;
    if (!statePath.empty() && std::filesystem::exists(Utf8Path(statePath), ignored)) {
        std::string reason;
        if (!pod->LoadState(statePath, &reason)) {
            error = "cannot read the simulated pod's state from " + statePath + ": " + reason;
            return nullptr;
        }
    }
    if (!statePath.empty()) {
        pod->SaveAfterEveryChange(statePath);
    }
    return pod;
}

D2xxBackend MakeSimulated(const BackendOptions& options, Clock& clock) {
    D2xxBackend backend;
    if (options.simPods <= 0) {
        auto pod = MakeSimulatedPod(options, clock, options.simStatePath, backend.error);
        if (!pod) {
            return backend;
        }
        backend.simulatedPod = pod.get();
        backend.library = std::make_unique<SimulatedD2xxLibrary>(std::move(pod));
        return backend;
    }
    auto rack = std::make_unique<SimulatedPodRack>();
    for (int n = 1; n <= options.simPods; ++n) {
        const std::string path = SimulatedStatePath(options, SimulatedPodRack::SerialOf(n));
        auto pod = MakeSimulatedPod(options, clock, path, backend.error);
        if (!pod) {
            return backend;
        }
        rack->Add(std::move(pod));
    }
    backend.simulatedRack = rack.get();
    backend.simulatedPod = &rack->PodAt(0);
    backend.library = std::make_unique<SimulatedD2xxLibrary>(std::move(rack));
    return backend;
}

D2xxBackend MakeUnorderedBackend(const BackendOptions& options, Clock& clock) {
    if (options.simulate) {
        return MakeSimulated(options, clock);
    }
    auto vendor = options.vendorLibraryFiles.empty()
                      ? std::make_unique<VendorD2xxLibrary>()
                      : std::make_unique<VendorD2xxLibrary>(options.vendorLibraryFiles);
    std::unique_ptr<D2xxLibrary> fallback;
#ifdef VANTIX_HAVE_LIBFTDI
    fallback = std::make_unique<LibFtdiLibrary>(clock);
#endif
    D2xxBackend backend;
    backend.library = std::make_unique<FallbackD2xxLibrary>(std::move(vendor), std::move(fallback));
    return backend;
}

}  // namespace

D2xxBackend MakeD2xxBackend(const BackendOptions& options, Clock& clock) {
    D2xxBackend backend = MakeUnorderedBackend(options, clock);
    // Every backend lists its pods in the order of their serial numbers.
    if (backend.library) {
        backend.library = std::make_unique<SerialOrderedLibrary>(std::move(backend.library));
    }
    return backend;
}

std::string SimulatedStatePath(const BackendOptions& options, const std::string& serial) {
    if (options.simStatePath.empty() || options.simPods <= 0) {
        return options.simStatePath;
    }
    return options.simStatePath + "." + serial;
}

bool SaveSimulatedStates(const D2xxBackend& backend, const BackendOptions& options,
                         std::string& error) {
    if (options.simStatePath.empty()) {
        return true;
    }
    if (backend.simulatedRack == nullptr) {
        if (backend.simulatedPod != nullptr &&
            !backend.simulatedPod->SaveState(options.simStatePath, &error)) {
            error = options.simStatePath + ": " + error;
            return false;
        }
        return true;
    }
    SimulatedPodRack& rack = *backend.simulatedRack;
    for (std::size_t i = 0; i < rack.Size(); ++i) {
        if (!rack.WasOpened(i)) {
            continue;
        }
        const std::string path = SimulatedStatePath(options, rack.PodAt(i).Faults().serials[0]);
        if (!rack.PodAt(i).SaveState(path, &error)) {
            error = path + ": " + error;
            return false;
        }
    }
    return true;
}
