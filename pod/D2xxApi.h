#pragma once

#include <cstdint>

// The D2XX-shaped calls the pod driver makes, declared here from their documented
// behaviour. Backends: the vendor library loaded at run time, libftdi1, the simulated pod.

using FT_HANDLE = void*;
using FT_STATUS = std::uint32_t;

inline constexpr FT_STATUS FT_OK = 0;
inline constexpr FT_STATUS FT_INVALID_HANDLE = 1;
inline constexpr FT_STATUS FT_DEVICE_NOT_FOUND = 2;
inline constexpr FT_STATUS FT_DEVICE_NOT_OPENED = 3;
inline constexpr FT_STATUS FT_IO_ERROR = 4;
inline constexpr FT_STATUS FT_INSUFFICIENT_RESOURCES = 5;
inline constexpr FT_STATUS FT_INVALID_PARAMETER = 6;
inline constexpr FT_STATUS FT_INVALID_BAUD_RATE = 7;
inline constexpr FT_STATUS FT_OTHER_ERROR = 18;

// FT_ListDevices flags
inline constexpr std::uint32_t FT_LIST_NUMBER_ONLY = 0x80000000;
inline constexpr std::uint32_t FT_LIST_BY_INDEX = 0x40000000;
inline constexpr std::uint32_t FT_LIST_ALL = 0x20000000;
// FT_OpenEx / FT_ListDevices flags
inline constexpr std::uint32_t FT_OPEN_BY_SERIAL_NUMBER = 1;
inline constexpr std::uint32_t FT_OPEN_BY_DESCRIPTION = 2;

inline constexpr std::uint8_t FT_BITS_8 = 8;
inline constexpr std::uint8_t FT_STOP_BITS_1 = 0;
inline constexpr std::uint8_t FT_PARITY_NONE = 0;
inline constexpr std::uint16_t FT_FLOW_NONE = 0x0000;
inline constexpr std::uint32_t FT_PURGE_RX = 1;
inline constexpr std::uint32_t FT_PURGE_TX = 2;

// Description and serial strings of FT_ListDevices are at most 64 bytes with the NUL.
inline constexpr int kFtDescriptionSize = 64;

class D2xxApi {
public:
    virtual ~D2xxApi() = default;

    // FT_LIST_NUMBER_ONLY: arg1 is a uint32_t* receiving the count.
    // FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION: arg1 is the index (cast to void*),
    // arg2 a buffer of kFtDescriptionSize bytes receiving the description.
    virtual FT_STATUS FT_ListDevices(void* arg1, void* arg2, std::uint32_t flags) = 0;
    // FT_OPEN_BY_DESCRIPTION: arg is the NUL-terminated description.
    virtual FT_STATUS FT_OpenEx(void* arg, std::uint32_t flags, FT_HANDLE* handle) = 0;
    virtual FT_STATUS FT_ResetDevice(FT_HANDLE handle) = 0;
    virtual FT_STATUS FT_GetLatencyTimer(FT_HANDLE handle, std::uint8_t* timerMs) = 0;
    virtual FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, std::uint8_t timerMs) = 0;
    virtual FT_STATUS FT_SetBaudRate(FT_HANDLE handle, std::uint32_t baud) = 0;
    virtual FT_STATUS FT_SetDataCharacteristics(FT_HANDLE handle, std::uint8_t wordLength,
                                                std::uint8_t stopBits, std::uint8_t parity) = 0;
    virtual FT_STATUS FT_SetFlowControl(FT_HANDLE handle, std::uint16_t flowControl,
                                        std::uint8_t xon, std::uint8_t xoff) = 0;
    virtual FT_STATUS FT_SetTimeouts(FT_HANDLE handle, std::uint32_t readMs,
                                     std::uint32_t writeMs) = 0;
    virtual FT_STATUS FT_Purge(FT_HANDLE handle, std::uint32_t mask) = 0;
    virtual FT_STATUS FT_Close(FT_HANDLE handle) = 0;
    virtual FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, std::uint32_t count,
                               std::uint32_t* written) = 0;
    // Waits until count bytes arrived or the read time-out of FT_SetTimeouts passed.
    virtual FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, std::uint32_t count,
                              std::uint32_t* received) = 0;
    virtual FT_STATUS FT_GetStatus(FT_HANDLE handle, std::uint32_t* rxQueue, std::uint32_t* txQueue,
                                   std::uint32_t* eventStatus) = 0;
    virtual FT_STATUS FT_GetQueueStatus(FT_HANDLE handle, std::uint32_t* rxQueue) = 0;

    // Not a D2XX call: how many bytes that had already reached the host the last FT_Purge of
    // the receive side threw away, for the wire trace; 0 where the library cannot tell.
    virtual std::uint32_t ReceivedBytesPurged(FT_HANDLE handle) {
        (void)handle;
        return 0;
    }
    // Not a D2XX call: whether the calls now fail because the run was interrupted (Ctrl+C),
    // not because of the device, so that the wire trace can say so.
    virtual bool Interrupted() const { return false; }
};
