#pragma once

#include <functional>
#include <memory>
#include <utility>

#include "Clock.h"
#include "ForwardingD2xxApi.h"
#include "RunCli.h"
#include "sim/SimulatedPod.h"

// The simulated pod, with a hook that runs at the host's first write to it: the moment the
// board starts being programmed. For in-process runs with --simulate (a virtual clock).
class HookedPod final : public D2xxLibrary, public ForwardingD2xxApi {
public:
    HookedPod(std::unique_ptr<SimulatedPod> pod, std::function<void()> hook)
        : ForwardingD2xxApi(*pod), pod_(std::move(pod)), hook_(std::move(hook)) {}

    static CliEnvironment Environment(std::function<void()> hook) {
        CliEnvironment environment;
        environment.makeBackend = [hook](const BackendOptions&, Clock& clock) {
            auto pod = std::make_unique<SimulatedPod>(dynamic_cast<VirtualClock&>(clock));
            D2xxBackend backend;
            backend.simulatedPod = pod.get();
            backend.library = std::make_unique<HookedPod>(std::move(pod), hook);
            return backend;
        };
        return environment;
    }

    D2xxApi* Load() override { return this; }
    void Free() override {}
    const char* Name() const override { return "simulated pod"; }

    FT_STATUS FT_Write(FT_HANDLE h, const void* buffer, std::uint32_t count,
                       std::uint32_t* written) override {
        if (hook_) {
            std::exchange(hook_, nullptr)();
        }
        return ForwardingD2xxApi::FT_Write(h, buffer, count, written);
    }

private:
    std::unique_ptr<SimulatedPod> pod_;
    std::function<void()> hook_;
};
