#include "SimulatedPodRack.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "SimulatedPod.h"

namespace {

// Handles of the rack lie apart from the pods' own, so a mix-up shows as an invalid handle.
constexpr std::uintptr_t kRackHandleBase = 0x7A000;

}  // namespace

std::string SimulatedPodRack::SerialOf(int n) {
    char serial[16];
    std::snprintf(serial, sizeof serial, "VSIM%04d", n);
    return serial;
}

SimulatedPodRack::SimulatedPodRack() = default;
SimulatedPodRack::~SimulatedPodRack() = default;

SimulatedPod& SimulatedPodRack::Add(std::unique_ptr<SimulatedPod> pod) {
    pod->Faults().serials = {SerialOf(static_cast<int>(pods_.size()) + 1)};
    pods_.push_back({std::move(pod), false});
    return *pods_.back().pod;
}

const SimulatedPodRack::OpenHandle* SimulatedPodRack::Find(FT_HANDLE handle) const {
    for (const OpenHandle& open : open_) {
        if (open.rack == handle) {
            return &open;
        }
    }
    return nullptr;
}

FT_STATUS SimulatedPodRack::FT_ListDevices(void* arg1, void* arg2, std::uint32_t flags) {
    if (flags == FT_LIST_NUMBER_ONLY) {
        if (arg1 == nullptr) {
            return FT_INVALID_PARAMETER;
        }
        *static_cast<std::uint32_t*>(arg1) = static_cast<std::uint32_t>(pods_.size());
        return FT_OK;
    }
    const auto index = reinterpret_cast<std::uintptr_t>(arg1);
    if (arg2 == nullptr || (flags != (FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION) &&
                            flags != (FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER))) {
        return FT_INVALID_PARAMETER;
    }
    if (index >= pods_.size()) {
        return FT_DEVICE_NOT_FOUND;
    }
    // Each pod lists its own first device, so a pod scripted as something else stays so.
    return pods_[index].pod->FT_ListDevices(nullptr, arg2, flags);
}

FT_STATUS SimulatedPodRack::FT_OpenEx(void* arg, std::uint32_t flags, FT_HANDLE* handle) {
    if (handle == nullptr) {
        return FT_INVALID_PARAMETER;
    }
    *handle = nullptr;
    if (arg == nullptr || (flags != FT_OPEN_BY_DESCRIPTION && flags != FT_OPEN_BY_SERIAL_NUMBER)) {
        return FT_INVALID_PARAMETER;
    }
    const std::string wanted(static_cast<const char*>(arg),
                             strnlen(static_cast<const char*>(arg), kFtDescriptionSize));
    for (Slot& slot : pods_) {
        char listed[kFtDescriptionSize] = {};
        if (slot.pod->FT_ListDevices(nullptr, listed, FT_LIST_BY_INDEX | flags) != FT_OK ||
            wanted != listed) {
            continue;
        }
        FT_HANDLE own = nullptr;
        const FT_STATUS status = slot.pod->FT_OpenEx(listed, flags, &own);
        if (status != FT_OK) {
            return status;
        }
        slot.opened = true;
        *handle = reinterpret_cast<FT_HANDLE>(kRackHandleBase + 16 * ++generation_);
        open_.push_back({*handle, slot.pod.get(), own});
        return FT_OK;
    }
    return FT_DEVICE_NOT_FOUND;
}

FT_STATUS SimulatedPodRack::FT_Close(FT_HANDLE handle) {
    const OpenHandle* open = Find(handle);
    if (open == nullptr) {
        return FT_INVALID_HANDLE;
    }
    const FT_STATUS status = open->pod->FT_Close(open->own);
    if (status == FT_OK) {
        open_.erase(open_.begin() + (open - open_.data()));
    }
    return status;
}

// The calls on an open device go to the pod behind the handle.
#define VANTIX_RACK_FORWARD(call, ...)     \
    const OpenHandle* open = Find(handle); \
    if (open == nullptr) {                 \
        return FT_INVALID_HANDLE;          \
    }                                      \
    return open->pod->call(open->own __VA_OPT__(, ) __VA_ARGS__)

FT_STATUS SimulatedPodRack::FT_ResetDevice(FT_HANDLE handle) {
    VANTIX_RACK_FORWARD(FT_ResetDevice);
}
FT_STATUS SimulatedPodRack::FT_GetLatencyTimer(FT_HANDLE handle, std::uint8_t* timerMs) {
    VANTIX_RACK_FORWARD(FT_GetLatencyTimer, timerMs);
}
FT_STATUS SimulatedPodRack::FT_SetLatencyTimer(FT_HANDLE handle, std::uint8_t timerMs) {
    VANTIX_RACK_FORWARD(FT_SetLatencyTimer, timerMs);
}
FT_STATUS SimulatedPodRack::FT_SetBaudRate(FT_HANDLE handle, std::uint32_t baud) {
    VANTIX_RACK_FORWARD(FT_SetBaudRate, baud);
}
FT_STATUS SimulatedPodRack::FT_SetDataCharacteristics(FT_HANDLE handle, std::uint8_t wordLength,
                                                      std::uint8_t stopBits, std::uint8_t parity) {
    VANTIX_RACK_FORWARD(FT_SetDataCharacteristics, wordLength, stopBits, parity);
}
FT_STATUS SimulatedPodRack::FT_SetFlowControl(FT_HANDLE handle, std::uint16_t flowControl,
                                              std::uint8_t xon, std::uint8_t xoff) {
    VANTIX_RACK_FORWARD(FT_SetFlowControl, flowControl, xon, xoff);
}
FT_STATUS SimulatedPodRack::FT_SetTimeouts(FT_HANDLE handle, std::uint32_t readMs,
                                           std::uint32_t writeMs) {
    VANTIX_RACK_FORWARD(FT_SetTimeouts, readMs, writeMs);
}
FT_STATUS SimulatedPodRack::FT_Purge(FT_HANDLE handle, std::uint32_t mask) {
    VANTIX_RACK_FORWARD(FT_Purge, mask);
}
FT_STATUS SimulatedPodRack::FT_Write(FT_HANDLE handle, const void* buffer, std::uint32_t count,
                                     std::uint32_t* written) {
    VANTIX_RACK_FORWARD(FT_Write, buffer, count, written);
}
FT_STATUS SimulatedPodRack::FT_Read(FT_HANDLE handle, void* buffer, std::uint32_t count,
                                    std::uint32_t* received) {
    VANTIX_RACK_FORWARD(FT_Read, buffer, count, received);
}
FT_STATUS SimulatedPodRack::FT_GetStatus(FT_HANDLE handle, std::uint32_t* rxQueue,
                                         std::uint32_t* txQueue, std::uint32_t* eventStatus) {
    VANTIX_RACK_FORWARD(FT_GetStatus, rxQueue, txQueue, eventStatus);
}
FT_STATUS SimulatedPodRack::FT_GetQueueStatus(FT_HANDLE handle, std::uint32_t* rxQueue) {
    VANTIX_RACK_FORWARD(FT_GetQueueStatus, rxQueue);
}

#undef VANTIX_RACK_FORWARD
