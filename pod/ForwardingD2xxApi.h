#pragma once

#include "D2xxApi.h"

// Passes every call to another device's calls unchanged. A layer over a backend (one that
// sorts, interrupts, counts or records) derives from it and overrides only what it changes.
class ForwardingD2xxApi : public D2xxApi {
public:
    explicit ForwardingD2xxApi(D2xxApi& inner) : inner_(inner) {}

    FT_STATUS FT_ListDevices(void* arg1, void* arg2, std::uint32_t flags) override {
        return inner_.FT_ListDevices(arg1, arg2, flags);
    }
    FT_STATUS FT_OpenEx(void* arg, std::uint32_t flags, FT_HANDLE* handle) override {
        return inner_.FT_OpenEx(arg, flags, handle);
    }
    FT_STATUS FT_ResetDevice(FT_HANDLE handle) override { return inner_.FT_ResetDevice(handle); }
    FT_STATUS FT_GetLatencyTimer(FT_HANDLE handle, std::uint8_t* timerMs) override {
        return inner_.FT_GetLatencyTimer(handle, timerMs);
    }
    FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, std::uint8_t timerMs) override {
        return inner_.FT_SetLatencyTimer(handle, timerMs);
    }
    FT_STATUS FT_SetBaudRate(FT_HANDLE handle, std::uint32_t baud) override {
        return inner_.FT_SetBaudRate(handle, baud);
    }
    FT_STATUS FT_SetDataCharacteristics(FT_HANDLE handle, std::uint8_t wordLength,
                                        std::uint8_t stopBits, std::uint8_t parity) override {
        return inner_.FT_SetDataCharacteristics(handle, wordLength, stopBits, parity);
    }
    FT_STATUS FT_SetFlowControl(FT_HANDLE handle, std::uint16_t flowControl, std::uint8_t xon,
                                std::uint8_t xoff) override {
        return inner_.FT_SetFlowControl(handle, flowControl, xon, xoff);
    }
    FT_STATUS FT_SetTimeouts(FT_HANDLE handle, std::uint32_t readMs,
                             std::uint32_t writeMs) override {
        return inner_.FT_SetTimeouts(handle, readMs, writeMs);
    }
    FT_STATUS FT_Purge(FT_HANDLE handle, std::uint32_t mask) override {
        return inner_.FT_Purge(handle, mask);
    }
    FT_STATUS FT_Close(FT_HANDLE handle) override { return inner_.FT_Close(handle); }
    FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, std::uint32_t count,
                       std::uint32_t* written) override {
        return inner_.FT_Write(handle, buffer, count, written);
    }
    FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, std::uint32_t count,
                      std::uint32_t* received) override {
        return inner_.FT_Read(handle, buffer, count, received);
    }
    FT_STATUS FT_GetStatus(FT_HANDLE handle, std::uint32_t* rxQueue, std::uint32_t* txQueue,
                           std::uint32_t* eventStatus) override {
        return inner_.FT_GetStatus(handle, rxQueue, txQueue, eventStatus);
    }
    FT_STATUS FT_GetQueueStatus(FT_HANDLE handle, std::uint32_t* rxQueue) override {
        return inner_.FT_GetQueueStatus(handle, rxQueue);
    }
    std::uint32_t ReceivedBytesPurged(FT_HANDLE handle) override {
        return inner_.ReceivedBytesPurged(handle);
    }
    bool Interrupted() const override { return inner_.Interrupted(); }

protected:
    D2xxApi& Inner() const { return inner_; }

private:
    D2xxApi& inner_;
};
