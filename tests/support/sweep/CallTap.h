#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Clock.h"
#include "D2xxLibrary.h"
#include "ForwardingD2xxApi.h"

// Sits between the driver and the simulated pod and writes down every D2XX call: its number
// (from 1, as the pod counts them for UnplugAtCall), name, status, virtual time, the bytes of
// each write and the mask of each purge.
class CallTap final : public ForwardingD2xxApi, public D2xxLibrary {
public:
    struct Call {
        int number = 0;
        std::string name;
        FT_STATUS status = FT_OK;
        std::uint64_t atUs = 0;
        std::string bytes;       // FT_Write
        std::uint32_t mask = 0;  // FT_Purge
    };

    CallTap(D2xxApi& device, VirtualClock& clock) : ForwardingD2xxApi(device), clock_(clock) {}

    const std::vector<Call>& Calls() const { return calls_; }

    // --- D2xxLibrary ---
    D2xxApi* Load() override { return this; }
    void Free() override {}
    const char* Name() const override { return "tapped simulated pod"; }

    // --- D2xxApi ---
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
    FT_STATUS Note(const char* name, FT_STATUS status, std::string bytes = {},
                   std::uint32_t mask = 0);

    VirtualClock& clock_;
    std::vector<Call> calls_;
};
