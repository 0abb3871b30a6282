#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "D2xxApi.h"

// Another library's calls, with the devices listed in the order of their serial numbers
// (byte by byte; devices whose serial number cannot be read come last, as enumerated). USB
// enumerates in no order a user can see or rely on, and the first pod, the pods of a run on
// several and the board ids handed out with them follow the list: sorted, "the first pod"
// and "in pod order" mean the same on every machine and after every replug.
class SerialOrderedD2xxApi final : public D2xxApi {
public:
    explicit SerialOrderedD2xxApi(D2xxApi& inner) : inner_(inner) {}

    // FT_LIST_NUMBER_ONLY lists the devices afresh and sorts them; FT_LIST_BY_INDEX takes
    // an index into that order.
    FT_STATUS FT_ListDevices(void* arg1, void* arg2, std::uint32_t flags) override;
    // By description: the first device of that description in this order, as a library
    // that lists in this order would open it.
    FT_STATUS FT_OpenEx(void* arg, std::uint32_t flags, FT_HANDLE* handle) override;
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

private:
    // Counts the devices and sorts their indices; the inner call's status.
    FT_STATUS Sort(std::uint32_t& count);
    // The serial number of the first device in this order described so; empty when none is,
    // or it has none.
    std::string FirstSerialDescribed(const char* description);

    D2xxApi& inner_;
    std::vector<std::uint32_t> order_;  // sorted position -> the inner library's index
    bool sorted_ = false;
};
