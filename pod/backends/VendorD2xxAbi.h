#pragma once

#include <cstdint>

// The vendor library's C calling interface, declared from its public documentation.
// Its status and double-word types are 32 bits everywhere: unsigned long on Windows
// (LLP64), unsigned int on Linux (LP64). 32-bit Windows builds call through __stdcall.
#ifdef _WIN32
#define VANTIX_D2XX_CALL __stdcall
#else
#define VANTIX_D2XX_CALL
#endif

namespace vendor_d2xx {

#ifdef _WIN32
using Ulong = unsigned long;
#else
using Ulong = unsigned int;
#endif
static_assert(sizeof(Ulong) == 4, "the vendor's ULONG and DWORD are 32 bits");

using Status = Ulong;
using Dword = Ulong;
using Handle = void*;

using ListDevicesFn = Status(VANTIX_D2XX_CALL*)(void* arg1, void* arg2, Dword flags);
using OpenExFn = Status(VANTIX_D2XX_CALL*)(void* arg, Dword flags, Handle* handle);
using ResetDeviceFn = Status(VANTIX_D2XX_CALL*)(Handle handle);
using GetLatencyTimerFn = Status(VANTIX_D2XX_CALL*)(Handle handle, unsigned char* timerMs);
using SetLatencyTimerFn = Status(VANTIX_D2XX_CALL*)(Handle handle, unsigned char timerMs);
using SetBaudRateFn = Status(VANTIX_D2XX_CALL*)(Handle handle, Ulong baud);
using SetDataCharacteristicsFn = Status(VANTIX_D2XX_CALL*)(Handle handle, unsigned char wordLength,
                                                           unsigned char stopBits,
                                                           unsigned char parity);
using SetFlowControlFn = Status(VANTIX_D2XX_CALL*)(Handle handle, unsigned short flowControl,
                                                   unsigned char xon, unsigned char xoff);
using SetTimeoutsFn = Status(VANTIX_D2XX_CALL*)(Handle handle, Ulong readMs, Ulong writeMs);
using PurgeFn = Status(VANTIX_D2XX_CALL*)(Handle handle, Ulong mask);
using CloseFn = Status(VANTIX_D2XX_CALL*)(Handle handle);
using WriteFn = Status(VANTIX_D2XX_CALL*)(Handle handle, void* buffer, Dword count, Dword* written);
using ReadFn = Status(VANTIX_D2XX_CALL*)(Handle handle, void* buffer, Dword count, Dword* received);
using GetStatusFn = Status(VANTIX_D2XX_CALL*)(Handle handle, Dword* rxQueue, Dword* txQueue,
                                              Dword* eventStatus);
using GetQueueStatusFn = Status(VANTIX_D2XX_CALL*)(Handle handle, Dword* rxQueue);

// Every entry point the driver uses; a library lacking any one of them is not used at all.
struct EntryPoints {
    ListDevicesFn listDevices = nullptr;
    OpenExFn openEx = nullptr;
    ResetDeviceFn resetDevice = nullptr;
    GetLatencyTimerFn getLatencyTimer = nullptr;
    SetLatencyTimerFn setLatencyTimer = nullptr;
    SetBaudRateFn setBaudRate = nullptr;
    SetDataCharacteristicsFn setDataCharacteristics = nullptr;
    SetFlowControlFn setFlowControl = nullptr;
    SetTimeoutsFn setTimeouts = nullptr;
    PurgeFn purge = nullptr;
    CloseFn close = nullptr;
    WriteFn write = nullptr;
    ReadFn read = nullptr;
    GetStatusFn getStatus = nullptr;
    GetQueueStatusFn getQueueStatus = nullptr;
};

}  // namespace vendor_d2xx
