#pragma once

#include <atomic>

#include "ForwardingD2xxApi.h"

// Lets Ctrl+C end a running sequence promptly. The D2XX calls block, and the driver loops
// over them, so once the flag is up every call reports an I/O error: the sequence fails at
// its next call, and the driver's own failure path runs. Purge and close still pass through,
// so the pod is closed and its queues emptied on the way out.
class InterruptibleD2xxApi final : public ForwardingD2xxApi {
public:
    InterruptibleD2xxApi(D2xxApi& inner, const std::atomic<bool>& interrupted);

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
    FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, std::uint32_t count,
                       std::uint32_t* written) override;
    FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, std::uint32_t count,
                      std::uint32_t* received) override;
    FT_STATUS FT_GetStatus(FT_HANDLE handle, std::uint32_t* rxQueue, std::uint32_t* txQueue,
                           std::uint32_t* eventStatus) override;
    FT_STATUS FT_GetQueueStatus(FT_HANDLE handle, std::uint32_t* rxQueue) override;
    bool Interrupted() const override { return interrupted_.load(std::memory_order_relaxed); }

private:
    const std::atomic<bool>& interrupted_;
};
