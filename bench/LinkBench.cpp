// Host overhead on the pod link, for a full DSP56F807 image.
//
//   HostOnly/<op>     against InstantAckPod: no wire, no pod work, no waiting; the CPU
//                     time is the host driver's own.
//   InstantSim/<op>   against the simulated pod in instant pace: no real waiting; the CPU
//                     time is the host's plus the pod model's.
//   WireModel/<op>    one run against the simulated pod in virtual time; the counters
//                     compare the simulated duration with the wire's lower bound.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "Clock.h"
#include "FullImage.h"
#include "InstantAckPod.h"
#include "PodRig.h"
#include "SFileImage.h"
#include "SimWorkTime.h"
#include "sim/SimTiming.h"
#include "sim/SimulatedPod.h"

namespace {

using Operation = PodRig::Operation;

constexpr Operation kOperations[] = {Operation::TargetWriteVerify, Operation::PodWrite,
                                     Operation::PodVerify};

const char* ShortName(Operation operation) {
    switch (operation) {
        case Operation::TargetWriteVerify:
            return "TargetWriteVerify";
        case Operation::PodWrite:
            return "PodWrite";
        case Operation::PodVerify:
            return "PodVerify";
    }
    return "";
}

const SFileImage& Image() {
    return FullImage::Shared();
}

// POD Verify needs an image in the pod first; the other two start from a fresh pod.
bool Prepare(PodRig& rig, Operation operation) {
    if (!rig.Opened()) {
        return false;
    }
    if (operation == Operation::PodVerify && rig.Run(Operation::PodWrite) != kPodOk) {
        return false;
    }
    rig.ResetCounts();
    return true;
}

void SetWordCounters(benchmark::State& state) {
    state.counters["words"] = FullImage::kWords;
}

void HostOnly(benchmark::State& state, Operation operation) {
    VirtualClock clock;
    InstantAckPod device(Image());
    PodRig rig(device, clock, Image());
    if (!Prepare(rig, operation)) {
        state.SkipWithError("the pod did not open");
        return;
    }
    for (auto _ : state) {
        if (const PodResult result = rig.Run(operation); result != kPodOk) {
            state.SkipWithError(("result " + std::to_string(result)).c_str());
            return;
        }
    }
    SetWordCounters(state);
}

void InstantSim(benchmark::State& state, Operation operation) {
    VirtualClock clock;
    SimulatedPod device(clock);
    PodRig rig(device, clock, Image());
    if (!Prepare(rig, operation)) {
        state.SkipWithError("the pod did not open");
        return;
    }
    for (auto _ : state) {
        if (const PodResult result = rig.Run(operation); result != kPodOk) {
            state.SkipWithError(("result " + std::to_string(result)).c_str());
            return;
        }
        state.PauseTiming();
        device.ClearLogs();  // the logs are for inspection; keep them from growing
        state.ResumeTiming();
    }
    SetWordCounters(state);
}

// Deterministic: every figure is virtual time, so one run says it all.
void WireModel(benchmark::State& state, Operation operation) {
    VirtualClock clock;
    SimulatedPod device(clock);
    PodRig rig(device, clock, Image());
    if (!Prepare(rig, operation)) {
        state.SkipWithError("the pod did not open");
        return;
    }
    device.ClearLogs();
    std::uint64_t durationUs = 0;
    for (auto _ : state) {
        const std::uint64_t start = clock.NowUs();
        if (const PodResult result = rig.Run(operation); result != kPodOk) {
            state.SkipWithError(("result " + std::to_string(result)).c_str());
            return;
        }
        durationUs = clock.NowUs() - start;
    }
    const CountingD2xxApi::Counts& wire = rig.Wire();
    const std::uint64_t workUs = SimWorkTime::TotalUs(device.FrameLog());
    const std::uint64_t wireBytes = wire.bytesWritten + wire.bytesRead;
    const double wireMs =
        static_cast<double>(wireBytes) * SimTiming::kBitsPerByte * 1000.0 / SimTiming::kPodBaud;
    const double latencyMs = static_cast<double>(wire.repliedFrames);  // 1 ms each
    const double boundMs = wireMs + latencyMs;
    const double withoutWorkMs = static_cast<double>(durationUs - workUs) / 1000.0;

    auto& c = state.counters;
    c["words"] = FullImage::kWords;
    c["bytes_out"] = static_cast<double>(wire.bytesWritten);
    c["bytes_in"] = static_cast<double>(wire.bytesRead);
    c["frames"] = static_cast<double>(wire.frames);
    c["replies"] = static_cast<double>(wire.repliedFrames);
    c["wire_ms"] = wireMs;
    c["bound_ms"] = boundMs;
    c["sim_ms"] = static_cast<double>(durationUs) / 1000.0;
    c["work_ms"] = static_cast<double>(workUs) / 1000.0;
    c["sim_without_work_ms"] = withoutWorkMs;
    c["ratio"] = withoutWorkMs / boundMs;
    c["host_sleep_ms"] = static_cast<double>(rig.HostClock().SleptMs());
    c["host_sleeps"] = static_cast<double>(rig.HostClock().Sleeps());
    c["in_write_ms"] = static_cast<double>(wire.writeUs) / 1000.0;
    c["in_read_ms"] = static_cast<double>(wire.readUs) / 1000.0;
}

}  // namespace

int main(int argc, char** argv) {
    for (const Operation operation : kOperations) {
        const std::string name = ShortName(operation);
        benchmark::RegisterBenchmark(("HostOnly/" + name).c_str(), HostOnly, operation)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("InstantSim/" + name).c_str(), InstantSim, operation)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("WireModel/" + name).c_str(), WireModel, operation)
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
