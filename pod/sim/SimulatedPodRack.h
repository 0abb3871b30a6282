#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "D2xxApi.h"

class SimulatedPod;

// Several simulated pods on one host, as the D2XX calls list them: every pod is one device
// described "USB POD" with a serial number of its own, and each keeps its own target board,
// EEPROM and state. Opening by description takes the first pod, as the vendor library does;
// opening by serial number takes that pod. Every other call goes to the pod whose handle
// it carries.
class SimulatedPodRack final : public D2xxApi {
public:
    // The serial number of the n-th pod, from 1: "VSIM0001", "VSIM0002", ...
    static std::string SerialOf(int n);

    SimulatedPodRack();
    ~SimulatedPodRack() override;

    // Adds a pod and gives its device the next serial number; the rack keeps it.
    SimulatedPod& Add(std::unique_ptr<SimulatedPod> pod);
    std::size_t Size() const { return pods_.size(); }
    SimulatedPod& PodAt(std::size_t index) { return *pods_[index].pod; }
    const SimulatedPod& PodAt(std::size_t index) const { return *pods_[index].pod; }
    // Whether the pod was opened at least once: only those have new state to save.
    bool WasOpened(std::size_t index) const { return pods_[index].opened; }

    FT_STATUS FT_ListDevices(void* arg1, void* arg2, std::uint32_t flags) override;
    FT_STATUS FT_OpenEx(void* arg, std::uint32_t flags, FT_HANDLE* handle) override;
    FT_STATUS FT_ResetDevice(FT_HANDLE handle) override;
    FT_STATUS FT_GetLatencyTimer(FT_HANDLE handle, std::uint8_t* timerMs) override;
    FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, std::uint8_t timerMs) override;
    FT_STATUS FT_SetBaudRate(FT_HANDLE handle, std::uint32_t baud) override;
    FT_STATUS FT_SetDataCharacteristics(FT_HANDLE handle, std::uint8_t wordLength,
                                        std::uint8_t stopBits, std::uint8_t parity) override;
    FT_STATUS FT_SetFlowControl(FT_HANDLE handle, std::uint16_t flowControl, std::uint8_t xon,
                                std::uint8_t xoff) override;
    FT_STATUS FT_SetTimeouts(FT_HANDLE handle, std::uint32_t readMs,
                             std::uint32_t writeMs) override;
    FT_STATUS FT_Purge(FT_HANDLE handle, std::uint32_t mask) override;
    FT_STATUS FT_Close(FT_HANDLE handle) override;
    FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, std::uint32_t count,
                       std::uint32_t* written) override;
    FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, std::uint32_t count,
                      std::uint32_t* received) override;
    FT_STATUS FT_GetStatus(FT_HANDLE handle, std::uint32_t* rxQueue, std::uint32_t* txQueue,
                           std::uint32_t* eventStatus) override;
    FT_STATUS FT_GetQueueStatus(FT_HANDLE handle, std::uint32_t* rxQueue) override;

private:
    struct Slot {
        std::unique_ptr<SimulatedPod> pod;
        bool opened = false;
    };
    // A handle the rack gave out, and the pod's own handle behind it.
    struct OpenHandle {
        FT_HANDLE rack = nullptr;
        SimulatedPod* pod = nullptr;
        FT_HANDLE own = nullptr;
    };

    const OpenHandle* Find(FT_HANDLE handle) const;

    std::vector<Slot> pods_;
    std::vector<OpenHandle> open_;
    std::uintptr_t generation_ = 0;
};
