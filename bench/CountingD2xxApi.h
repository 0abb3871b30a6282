#pragma once

#include <cstdint>

#include "D2xxApi.h"
#include "FrameScanner.h"

class VirtualClock;

// Passes every call to the device underneath and counts what crosses the wire: bytes the
// host wrote and read, frames, and the frames that wait for a reply. Given the virtual clock
// the device runs on, it also sums the virtual time spent inside writes and reads.
class CountingD2xxApi final : public D2xxApi {
public:
    struct Counts {
        std::uint64_t bytesWritten = 0;  // host to pod, as FT_Write reported them
        std::uint64_t bytesRead = 0;     // pod to host, as FT_Read delivered them
        std::uint64_t frames = 0;
        std::uint64_t repliedFrames = 0;  // frames the pod answers (one latency period each)
        std::uint64_t writeUs = 0;        // virtual time inside FT_Write
        std::uint64_t readUs = 0;         // virtual time inside FT_Read
    };

    CountingD2xxApi(D2xxApi& device, VirtualClock* clock) : device_(device), clock_(clock) {}

    const Counts& Totals() const { return counts_; }
    void Reset() { counts_ = Counts{}; }

    FT_STATUS FT_ListDevices(void* arg1, void* arg2, std::uint32_t flags) override {
        return device_.FT_ListDevices(arg1, arg2, flags);
    }
    FT_STATUS FT_OpenEx(void* arg, std::uint32_t flags, FT_HANDLE* handle) override {
        return device_.FT_OpenEx(arg, flags, handle);
    }
    FT_STATUS FT_ResetDevice(FT_HANDLE handle) override { return device_.FT_ResetDevice(handle); }
    FT_STATUS FT_GetLatencyTimer(FT_HANDLE handle, std::uint8_t* timerMs) override {
        return device_.FT_GetLatencyTimer(handle, timerMs);
    }
    FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, std::uint8_t timerMs) override {
        return device_.FT_SetLatencyTimer(handle, timerMs);
    }
    FT_STATUS FT_SetBaudRate(FT_HANDLE handle, std::uint32_t baud) override {
        return device_.FT_SetBaudRate(handle, baud);
    }
    FT_STATUS FT_SetDataCharacteristics(FT_HANDLE handle, std::uint8_t wordLength,
                                        std::uint8_t stopBits, std::uint8_t parity) override {
        return device_.FT_SetDataCharacteristics(handle, wordLength, stopBits, parity);
    }
    FT_STATUS FT_SetFlowControl(FT_HANDLE handle, std::uint16_t flowControl, std::uint8_t xon,
                                std::uint8_t xoff) override {
        return device_.FT_SetFlowControl(handle, flowControl, xon, xoff);
    }
    FT_STATUS FT_SetTimeouts(FT_HANDLE handle, std::uint32_t readMs,
                             std::uint32_t writeMs) override {
        return device_.FT_SetTimeouts(handle, readMs, writeMs);
    }
    FT_STATUS FT_Purge(FT_HANDLE handle, std::uint32_t mask) override {
        return device_.FT_Purge(handle, mask);
    }
    FT_STATUS FT_Close(FT_HANDLE handle) override { return device_.FT_Close(handle); }
    FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, std::uint32_t count,
                       std::uint32_t* written) override;
    FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, std::uint32_t count,
                      std::uint32_t* received) override;
    FT_STATUS FT_GetStatus(FT_HANDLE handle, std::uint32_t* rxQueue, std::uint32_t* txQueue,
                           std::uint32_t* eventStatus) override {
        return device_.FT_GetStatus(handle, rxQueue, txQueue, eventStatus);
    }
    FT_STATUS FT_GetQueueStatus(FT_HANDLE handle, std::uint32_t* rxQueue) override {
        return device_.FT_GetQueueStatus(handle, rxQueue);
    }

private:
    std::uint64_t NowUs() const;

    D2xxApi& device_;
    VirtualClock* clock_;
    FrameScanner scanner_;
    Counts counts_;
};
