#include "BackendSelection.h"

#include <filesystem>

#include "Clock.h"
#include "FallbackD2xxLibrary.h"
#include "Utf8Path.h"
#include "VendorD2xxLibrary.h"
#include "sim/SimulatedD2xxLibrary.h"
#include "sim/SimulatedPod.h"
#ifdef VANTIX_HAVE_LIBFTDI
#include "LibFtdiLibrary.h"
#endif

namespace {

D2xxBackend MakeSimulated(const BackendOptions& options, Clock& clock) {
    D2xxBackend backend;
    auto* virtualClock = dynamic_cast<VirtualClock*>(&clock);
    auto pod =
        (virtualClock && !options.simRealtime)
            ? std::make_unique<SimulatedPod>(*virtualClock, SimPace::Instant, options.simFill)
            : std::make_unique<SimulatedPod>(clock, options.simFill);
    std::error_code ignored;
    if (!options.simStatePath.empty() &&
        std::filesystem::exists(Utf8Path(options.simStatePath), ignored)) {
        std::string error;
        if (!pod->LoadState(options.simStatePath, &error)) {
            backend.error =
                "cannot read the simulated pod's state from " + options.simStatePath + ": " + error;
            return backend;
        }
    }
    backend.simulatedPod = pod.get();
    backend.library = std::make_unique<SimulatedD2xxLibrary>(std::move(pod));
    return backend;
}

}  // namespace

D2xxBackend MakeD2xxBackend(const BackendOptions& options, Clock& clock) {
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
