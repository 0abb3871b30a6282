#pragma once

#include <functional>
#include <memory>
#include <utility>

#include "Clock.h"
#include "RunCli.h"
#include "sim/SimulatedPod.h"

// The simulated pod, with a hook that runs at the host's first write to it: the moment the
// board starts being programmed. For in-process runs with --simulate (a virtual clock).
class HookedPod final : public D2xxLibrary, public D2xxApi {
public:
    HookedPod(std::unique_ptr<SimulatedPod> pod, std::function<void()> hook)
        : pod_(std::move(pod)), hook_(std::move(hook)) {}

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
        return pod_->FT_Write(h, buffer, count, written);
    }
    FT_STATUS FT_ListDevices(void* a, void* b, std::uint32_t f) override {
        return pod_->FT_ListDevices(a, b, f);
    }
    FT_STATUS FT_OpenEx(void* a, std::uint32_t f, FT_HANDLE* h) override {
        return pod_->FT_OpenEx(a, f, h);
    }
    FT_STATUS FT_ResetDevice(FT_HANDLE h) override { return pod_->FT_ResetDevice(h); }
    FT_STATUS FT_GetLatencyTimer(FT_HANDLE h, std::uint8_t* ms) override {
        return pod_->FT_GetLatencyTimer(h, ms);
    }
    FT_STATUS FT_SetLatencyTimer(FT_HANDLE h, std::uint8_t ms) override {
        return pod_->FT_SetLatencyTimer(h, ms);
    }
    FT_STATUS FT_SetBaudRate(FT_HANDLE h, std::uint32_t baud) override {
        return pod_->FT_SetBaudRate(h, baud);
    }
    FT_STATUS FT_SetDataCharacteristics(FT_HANDLE h, std::uint8_t w, std::uint8_t s,
                                        std::uint8_t p) override {
        return pod_->FT_SetDataCharacteristics(h, w, s, p);
    }
    FT_STATUS FT_SetFlowControl(FT_HANDLE h, std::uint16_t f, std::uint8_t on,
                                std::uint8_t off) override {
        return pod_->FT_SetFlowControl(h, f, on, off);
    }
    FT_STATUS FT_SetTimeouts(FT_HANDLE h, std::uint32_t r, std::uint32_t w) override {
        return pod_->FT_SetTimeouts(h, r, w);
    }
    FT_STATUS FT_Purge(FT_HANDLE h, std::uint32_t mask) override { return pod_->FT_Purge(h, mask); }
    FT_STATUS FT_Close(FT_HANDLE h) override { return pod_->FT_Close(h); }
    FT_STATUS FT_Read(FT_HANDLE h, void* buffer, std::uint32_t count,
                      std::uint32_t* received) override {
        return pod_->FT_Read(h, buffer, count, received);
    }
    FT_STATUS FT_GetStatus(FT_HANDLE h, std::uint32_t* rx, std::uint32_t* tx,
                           std::uint32_t* events) override {
        return pod_->FT_GetStatus(h, rx, tx, events);
    }
    FT_STATUS FT_GetQueueStatus(FT_HANDLE h, std::uint32_t* rx) override {
        return pod_->FT_GetQueueStatus(h, rx);
    }

private:
    std::unique_ptr<SimulatedPod> pod_;
    std::function<void()> hook_;
};
