#pragma once

#include <cstdint>

#include "D2xxApi.h"

// A D2XX device that is not there: the bus lists nothing and opening fails. The calls on a
// handle succeed and do nothing, a write goes nowhere and a read finds nothing. A double
// derives from it and overrides only the calls its test is about; whatever it leaves alone
// can neither hang the driver nor write through a null pointer.
class D2xxDouble : public D2xxApi {
public:
    // What the chip's latency timer holds after power-up.
    static constexpr std::uint8_t kLatencyAtPowerUp = 16;

    FT_STATUS FT_ListDevices(void* arg1, void*, std::uint32_t flags) override {
        if (flags != FT_LIST_NUMBER_ONLY) {
            return FT_DEVICE_NOT_FOUND;
        }
        return Put(static_cast<std::uint32_t*>(arg1), 0u);
    }
    FT_STATUS FT_OpenEx(void*, std::uint32_t, FT_HANDLE* handle) override {
        Put(handle, FT_HANDLE{});
        return FT_DEVICE_NOT_FOUND;
    }
    FT_STATUS FT_ResetDevice(FT_HANDLE) override { return FT_OK; }
    FT_STATUS FT_GetLatencyTimer(FT_HANDLE, std::uint8_t* timerMs) override {
        return Put(timerMs, kLatencyAtPowerUp);
    }
    FT_STATUS FT_SetLatencyTimer(FT_HANDLE, std::uint8_t) override { return FT_OK; }
    FT_STATUS FT_SetBaudRate(FT_HANDLE, std::uint32_t) override { return FT_OK; }
    FT_STATUS FT_SetDataCharacteristics(FT_HANDLE, std::uint8_t, std::uint8_t,
                                        std::uint8_t) override {
        return FT_OK;
    }
    FT_STATUS FT_SetFlowControl(FT_HANDLE, std::uint16_t, std::uint8_t, std::uint8_t) override {
        return FT_OK;
    }
    FT_STATUS FT_SetTimeouts(FT_HANDLE, std::uint32_t, std::uint32_t) override { return FT_OK; }
    FT_STATUS FT_Purge(FT_HANDLE, std::uint32_t) override { return FT_OK; }
    FT_STATUS FT_Close(FT_HANDLE) override { return FT_OK; }
    FT_STATUS FT_Write(FT_HANDLE, const void*, std::uint32_t count,
                       std::uint32_t* written) override {
        return Put(written, count);
    }
    FT_STATUS FT_Read(FT_HANDLE, void*, std::uint32_t, std::uint32_t* received) override {
        return Put(received, 0u);
    }
    FT_STATUS FT_GetStatus(FT_HANDLE, std::uint32_t* rxQueue, std::uint32_t* txQueue,
                           std::uint32_t* eventStatus) override {
        Put(rxQueue, 0u);
        Put(txQueue, 0u);
        return Put(eventStatus, 0u);
    }
    FT_STATUS FT_GetQueueStatus(FT_HANDLE, std::uint32_t* rxQueue) override {
        return Put(rxQueue, 0u);
    }

protected:
    // Stores value where the caller asked for it; a null out-parameter is the caller's
    // mistake, reported as the library reports it.
    template <typename T>
    static FT_STATUS Put(T* where, T value) {
        if (where == nullptr) {
            return FT_INVALID_PARAMETER;
        }
        *where = value;
        return FT_OK;
    }
};
