#include "run/InterruptibleD2xxApi.h"

InterruptibleD2xxApi::InterruptibleD2xxApi(D2xxApi& inner, const std::atomic<bool>& interrupted)
    : ForwardingD2xxApi(inner), interrupted_(interrupted) {}

FT_STATUS InterruptibleD2xxApi::FT_ListDevices(void* arg1, void* arg2, std::uint32_t flags) {
    return Interrupted() ? FT_IO_ERROR : Inner().FT_ListDevices(arg1, arg2, flags);
}

FT_STATUS InterruptibleD2xxApi::FT_OpenEx(void* arg, std::uint32_t flags, FT_HANDLE* handle) {
    return Interrupted() ? FT_IO_ERROR : Inner().FT_OpenEx(arg, flags, handle);
}

FT_STATUS InterruptibleD2xxApi::FT_ResetDevice(FT_HANDLE handle) {
    return Interrupted() ? FT_IO_ERROR : Inner().FT_ResetDevice(handle);
}

FT_STATUS InterruptibleD2xxApi::FT_GetLatencyTimer(FT_HANDLE handle, std::uint8_t* timerMs) {
    return Interrupted() ? FT_IO_ERROR : Inner().FT_GetLatencyTimer(handle, timerMs);
}

FT_STATUS InterruptibleD2xxApi::FT_SetLatencyTimer(FT_HANDLE handle, std::uint8_t timerMs) {
    return Interrupted() ? FT_IO_ERROR : Inner().FT_SetLatencyTimer(handle, timerMs);
}

FT_STATUS InterruptibleD2xxApi::FT_SetBaudRate(FT_HANDLE handle, std::uint32_t baud) {
    return Interrupted() ? FT_IO_ERROR : Inner().FT_SetBaudRate(handle, baud);
}

FT_STATUS InterruptibleD2xxApi::FT_SetDataCharacteristics(FT_HANDLE handle, std::uint8_t wordLength,
                                                          std::uint8_t stopBits,
                                                          std::uint8_t parity) {
    return Interrupted() ? FT_IO_ERROR
                         : Inner().FT_SetDataCharacteristics(handle, wordLength, stopBits, parity);
}

FT_STATUS InterruptibleD2xxApi::FT_SetFlowControl(FT_HANDLE handle, std::uint16_t flowControl,
                                                  std::uint8_t xon, std::uint8_t xoff) {
    return Interrupted() ? FT_IO_ERROR : Inner().FT_SetFlowControl(handle, flowControl, xon, xoff);
}

FT_STATUS InterruptibleD2xxApi::FT_SetTimeouts(FT_HANDLE handle, std::uint32_t readMs,
                                               std::uint32_t writeMs) {
    return Interrupted() ? FT_IO_ERROR : Inner().FT_SetTimeouts(handle, readMs, writeMs);
}

FT_STATUS InterruptibleD2xxApi::FT_Write(FT_HANDLE handle, const void* buffer, std::uint32_t count,
                                         std::uint32_t* written) {
    return Interrupted() ? FT_IO_ERROR : Inner().FT_Write(handle, buffer, count, written);
}

FT_STATUS InterruptibleD2xxApi::FT_Read(FT_HANDLE handle, void* buffer, std::uint32_t count,
                                        std::uint32_t* received) {
    return Interrupted() ? FT_IO_ERROR : Inner().FT_Read(handle, buffer, count, received);
}

FT_STATUS InterruptibleD2xxApi::FT_GetStatus(FT_HANDLE handle, std::uint32_t* rxQueue,
                                             std::uint32_t* txQueue, std::uint32_t* eventStatus) {
    return Interrupted() ? FT_IO_ERROR
                         : Inner().FT_GetStatus(handle, rxQueue, txQueue, eventStatus);
}

FT_STATUS InterruptibleD2xxApi::FT_GetQueueStatus(FT_HANDLE handle, std::uint32_t* rxQueue) {
    return Interrupted() ? FT_IO_ERROR : Inner().FT_GetQueueStatus(handle, rxQueue);
}
