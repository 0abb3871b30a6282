#include "CallTap.h"

FT_STATUS CallTap::Note(const char* name, FT_STATUS status, std::string bytes, std::uint32_t mask) {
    calls_.push_back({static_cast<int>(calls_.size()) + 1, name, status, clock_.NowUs(),
                      std::move(bytes), mask});
    return status;
}

FT_STATUS CallTap::FT_ListDevices(void* arg1, void* arg2, std::uint32_t flags) {
    return Note("FT_ListDevices", Inner().FT_ListDevices(arg1, arg2, flags));
}

FT_STATUS CallTap::FT_OpenEx(void* arg, std::uint32_t flags, FT_HANDLE* handle) {
    return Note("FT_OpenEx", Inner().FT_OpenEx(arg, flags, handle));
}

FT_STATUS CallTap::FT_ResetDevice(FT_HANDLE handle) {
    return Note("FT_ResetDevice", Inner().FT_ResetDevice(handle));
}

FT_STATUS CallTap::FT_GetLatencyTimer(FT_HANDLE handle, std::uint8_t* timerMs) {
    return Note("FT_GetLatencyTimer", Inner().FT_GetLatencyTimer(handle, timerMs));
}

FT_STATUS CallTap::FT_SetLatencyTimer(FT_HANDLE handle, std::uint8_t timerMs) {
    return Note("FT_SetLatencyTimer", Inner().FT_SetLatencyTimer(handle, timerMs));
}

FT_STATUS CallTap::FT_SetBaudRate(FT_HANDLE handle, std::uint32_t baud) {
    return Note("FT_SetBaudRate", Inner().FT_SetBaudRate(handle, baud));
}

FT_STATUS CallTap::FT_SetDataCharacteristics(FT_HANDLE handle, std::uint8_t wordLength,
                                             std::uint8_t stopBits, std::uint8_t parity) {
    return Note("FT_SetDataCharacteristics",
                Inner().FT_SetDataCharacteristics(handle, wordLength, stopBits, parity));
}

FT_STATUS CallTap::FT_SetFlowControl(FT_HANDLE handle, std::uint16_t flowControl, std::uint8_t xon,
                                     std::uint8_t xoff) {
    return Note("FT_SetFlowControl", Inner().FT_SetFlowControl(handle, flowControl, xon, xoff));
}

FT_STATUS CallTap::FT_SetTimeouts(FT_HANDLE handle, std::uint32_t readMs, std::uint32_t writeMs) {
    return Note("FT_SetTimeouts", Inner().FT_SetTimeouts(handle, readMs, writeMs));
}

FT_STATUS CallTap::FT_Purge(FT_HANDLE handle, std::uint32_t mask) {
    return Note("FT_Purge", Inner().FT_Purge(handle, mask), {}, mask);
}

FT_STATUS CallTap::FT_Close(FT_HANDLE handle) {
    return Note("FT_Close", Inner().FT_Close(handle));
}

FT_STATUS CallTap::FT_Write(FT_HANDLE handle, const void* buffer, std::uint32_t count,
                            std::uint32_t* written) {
    // The time is the moment the frame leaves, before the pod has answered.
    const std::uint64_t atUs = clock_.NowUs();
    const FT_STATUS status = Inner().FT_Write(handle, buffer, count, written);
    Note("FT_Write", status, std::string(static_cast<const char*>(buffer), count));
    calls_.back().atUs = atUs;
    return status;
}

FT_STATUS CallTap::FT_Read(FT_HANDLE handle, void* buffer, std::uint32_t count,
                           std::uint32_t* received) {
    return Note("FT_Read", Inner().FT_Read(handle, buffer, count, received));
}

FT_STATUS CallTap::FT_GetStatus(FT_HANDLE handle, std::uint32_t* rxQueue, std::uint32_t* txQueue,
                                std::uint32_t* eventStatus) {
    return Note("FT_GetStatus", Inner().FT_GetStatus(handle, rxQueue, txQueue, eventStatus));
}

FT_STATUS CallTap::FT_GetQueueStatus(FT_HANDLE handle, std::uint32_t* rxQueue) {
    return Note("FT_GetQueueStatus", Inner().FT_GetQueueStatus(handle, rxQueue));
}
