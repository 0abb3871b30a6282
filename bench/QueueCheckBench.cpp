// What the look at the receive queue before every answered command costs, for a full
// DSP56F807 Target Write && Verify, on two backends with the simulated pod (instant pace)
// behind them: the pod directly, and the libftdi1 backend over a fake USB bus whose port
// hands the bytes to the pod.
//
//   Run/<backend>     wall time of the whole operation; counters: the queue checks made
//                     before commands (one per answered frame) and all queue polls.
//   Check/<backend>   wall time of one receive-queue check on the open pod with nothing
//                     waiting, as those checks find it.
// The cost of the checks is checks x the time of one; run-benchmarks.py sets it against the
// whole operation.
#include <benchmark/benchmark.h>

#include <functional>
#include <memory>
#include <string>

#include "Clock.h"
#include "FullImage.h"
#include "PodRig.h"
#include "SFileImage.h"
#include "sim/SimulatedPod.h"
#ifdef VANTIX_HAVE_LIBFTDI
#include "FakeFtdiBus.h"
#include "LibFtdiLibrary.h"
#endif

namespace {

enum class Backend { SimulatedPod, LibFtdiFakeBus };

const SFileImage& Image() {
    return FullImage::Shared();
}

// The simulated pod behind the chosen backend, and the D2XX calls the driver talks to.
struct Stack {
    explicit Stack(Backend backend) {
        if (backend == Backend::SimulatedPod) {
            device = &sim;
            return;
        }
#ifdef VANTIX_HAVE_LIBFTDI
        library = std::make_unique<LibFtdiLibrary>(
            clock, [this](std::string&) { return std::make_unique<FakeFtdiBus>(sim); });
        device = library->Load();
#endif
    }

    VirtualClock clock;
    SimulatedPod sim{clock};
#ifdef VANTIX_HAVE_LIBFTDI
    std::unique_ptr<LibFtdiLibrary> library;
#endif
    D2xxApi* device = nullptr;
};

// The driver over the stack, with the pod open; null (and the benchmark skipped) otherwise.
std::unique_ptr<PodRig> OpenRig(benchmark::State& state, Stack& stack) {
    if (stack.device == nullptr) {
        state.SkipWithError("backend not built");
        return nullptr;
    }
    auto rig = std::make_unique<PodRig>(*stack.device, stack.clock, Image());
    if (!rig->Opened()) {
        state.SkipWithError("the pod did not open");
        return nullptr;
    }
    return rig;
}

void Run(benchmark::State& state, Backend backend) {
    Stack stack(backend);
    const std::unique_ptr<PodRig> rig = OpenRig(state, stack);
    if (!rig) {
        return;
    }
    int queuePolls = 0;
    std::uint64_t answered = 0;
    for (auto _ : state) {
        const int pollsBefore = stack.sim.Counters().queuePolls;
        rig->ResetCounts();
        if (const PodResult result = rig->Run(PodRig::Operation::TargetWriteVerify);
            result != kPodOk) {
            state.SkipWithError(("result " + std::to_string(result)).c_str());
            return;
        }
        queuePolls = stack.sim.Counters().queuePolls - pollsBefore;
        answered = rig->Wire().repliedFrames;
        state.PauseTiming();
        stack.sim.ClearLogs();
        state.ResumeTiming();
    }
    state.counters["checks_before_commands"] = static_cast<double>(answered);
    state.counters["queue_polls_at_the_pod"] = queuePolls;
}

void Check(benchmark::State& state, Backend backend) {
    Stack stack(backend);
    const std::unique_ptr<PodRig> rig = OpenRig(state, stack);
    if (!rig) {
        return;
    }
    std::uint32_t waiting = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(rig->Pod().ReceiveQueueCount(waiting));
    }
    if (waiting != 0) {
        state.SkipWithError("bytes waiting");
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::pair<Backend, const char*> backends[] = {
        {Backend::SimulatedPod, "SimulatedPod"}, {Backend::LibFtdiFakeBus, "LibFtdiFakeBus"}};
    for (const auto& [backend, name] : backends) {
        benchmark::RegisterBenchmark((std::string("Run/") + name).c_str(), Run, backend)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark((std::string("Check/") + name).c_str(), Check, backend)
            ->Unit(benchmark::kNanosecond)
            ->UseRealTime();
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
