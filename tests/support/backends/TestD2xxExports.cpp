// A stand-in for the vendor's D2XX library: the fifteen entry points with the vendor's C
// calling interface, forwarding to whatever D2xxApi the test attaches (the simulated pod).
// Built with VANTIX_TEST_D2XX_WITHOUT_QUEUE_STATUS it lacks FT_GetQueueStatus, as a damaged
// or foreign library would. Built with VANTIX_TEST_D2XX_BUILT_IN_POD it carries a simulated
// pod of its own, attached until a test attaches another: a program that only loads the
// library by name then finds a pod, as it would with the real library and hardware.

#include <cstdint>
#include <type_traits>

#include "D2xxApi.h"
#include "VendorD2xxAbi.h"
#ifdef VANTIX_TEST_D2XX_BUILT_IN_POD
#include "Clock.h"
#include "sim/SimulatedPod.h"
#endif

using vendor_d2xx::Dword;
using vendor_d2xx::Handle;
using vendor_d2xx::Status;
using vendor_d2xx::Ulong;

#if defined(_WIN32)
#define VANTIX_EXPORT extern "C" __declspec(dllexport)
#elif defined(__GNUC__)
#define VANTIX_EXPORT extern "C" __attribute__((visibility("default")))
#else
#define VANTIX_EXPORT extern "C"
#endif

namespace {

// A C library keeps its state at file scope; this one holds only where calls go.
D2xxApi* attached = nullptr;

#ifdef VANTIX_TEST_D2XX_BUILT_IN_POD
// Made on first use, so that loading the library does no work; it runs at instant pace on a
// clock of its own, as the simulated pod of "--simulate" does.
D2xxApi* BuiltInPod() {
    static VirtualClock clock;
    static SimulatedPod pod(clock, SimPace::Instant);
    return &pod;
}
#endif

// Where the calls go; null when nothing is attached.
D2xxApi* Device() {
#ifdef VANTIX_TEST_D2XX_BUILT_IN_POD
    if (!attached) {
        attached = BuiltInPod();
    }
#endif
    return attached;
}

void CopyOut(Dword* destination, std::uint32_t value) {
    if (destination) {
        *destination = value;
    }
}

}  // namespace

// Not a vendor call: how the test tells the library where its device is (null detaches).
VANTIX_EXPORT void VantixTestD2xxAttach(D2xxApi* device) {
    attached = device;
}

VANTIX_EXPORT Status VANTIX_D2XX_CALL FT_ListDevices(void* arg1, void* arg2, Dword flags) {
    D2xxApi* device = Device();
    if (!device) {
        return FT_DEVICE_NOT_FOUND;
    }
    if (flags & FT_LIST_NUMBER_ONLY) {
        std::uint32_t count = 0;
        const FT_STATUS status = device->FT_ListDevices(&count, arg2, flags);
        CopyOut(static_cast<Dword*>(arg1), count);
        return status;
    }
    return device->FT_ListDevices(arg1, arg2, flags);
}

VANTIX_EXPORT Status VANTIX_D2XX_CALL FT_OpenEx(void* arg, Dword flags, Handle* handle) {
    D2xxApi* device = Device();
    return device ? device->FT_OpenEx(arg, flags, handle) : FT_DEVICE_NOT_FOUND;
}

VANTIX_EXPORT Status VANTIX_D2XX_CALL FT_ResetDevice(Handle handle) {
    D2xxApi* device = Device();
    return device ? device->FT_ResetDevice(handle) : FT_INVALID_HANDLE;
}

VANTIX_EXPORT Status VANTIX_D2XX_CALL FT_GetLatencyTimer(Handle handle, unsigned char* timerMs) {
    D2xxApi* device = Device();
    return device ? device->FT_GetLatencyTimer(handle, timerMs) : FT_INVALID_HANDLE;
}

VANTIX_EXPORT Status VANTIX_D2XX_CALL FT_SetLatencyTimer(Handle handle, unsigned char timerMs) {
    D2xxApi* device = Device();
    return device ? device->FT_SetLatencyTimer(handle, timerMs) : FT_INVALID_HANDLE;
}

VANTIX_EXPORT Status VANTIX_D2XX_CALL FT_SetBaudRate(Handle handle, Ulong baud) {
    D2xxApi* device = Device();
    return device ? device->FT_SetBaudRate(handle, baud) : FT_INVALID_HANDLE;
}

VANTIX_EXPORT Status VANTIX_D2XX_CALL FT_SetDataCharacteristics(Handle handle,
                                                                unsigned char wordLength,
                                                                unsigned char stopBits,
                                                                unsigned char parity) {
    D2xxApi* device = Device();
    return device ? device->FT_SetDataCharacteristics(handle, wordLength, stopBits, parity)
                  : FT_INVALID_HANDLE;
}

VANTIX_EXPORT Status VANTIX_D2XX_CALL FT_SetFlowControl(Handle handle, unsigned short flowControl,
                                                        unsigned char xon, unsigned char xoff) {
    D2xxApi* device = Device();
    return device ? device->FT_SetFlowControl(handle, flowControl, xon, xoff) : FT_INVALID_HANDLE;
}

VANTIX_EXPORT Status VANTIX_D2XX_CALL FT_SetTimeouts(Handle handle, Ulong readMs, Ulong writeMs) {
    D2xxApi* device = Device();
    return device ? device->FT_SetTimeouts(handle, readMs, writeMs) : FT_INVALID_HANDLE;
}

VANTIX_EXPORT Status VANTIX_D2XX_CALL FT_Purge(Handle handle, Ulong mask) {
    D2xxApi* device = Device();
    return device ? device->FT_Purge(handle, mask) : FT_INVALID_HANDLE;
}

VANTIX_EXPORT Status VANTIX_D2XX_CALL FT_Close(Handle handle) {
    D2xxApi* device = Device();
    return device ? device->FT_Close(handle) : FT_INVALID_HANDLE;
}

VANTIX_EXPORT Status VANTIX_D2XX_CALL FT_Write(Handle handle, void* buffer, Dword count,
                                               Dword* written) {
    D2xxApi* device = Device();
    if (!device) {
        return FT_INVALID_HANDLE;
    }
    std::uint32_t done = 0;
    const FT_STATUS status = device->FT_Write(handle, buffer, count, &done);
    CopyOut(written, done);
    return status;
}

VANTIX_EXPORT Status VANTIX_D2XX_CALL FT_Read(Handle handle, void* buffer, Dword count,
                                              Dword* received) {
    D2xxApi* device = Device();
    if (!device) {
        return FT_INVALID_HANDLE;
    }
    std::uint32_t done = 0;
    const FT_STATUS status = device->FT_Read(handle, buffer, count, &done);
    CopyOut(received, done);
    return status;
}

VANTIX_EXPORT Status VANTIX_D2XX_CALL FT_GetStatus(Handle handle, Dword* rxQueue, Dword* txQueue,
                                                   Dword* eventStatus) {
    D2xxApi* device = Device();
    if (!device) {
        return FT_INVALID_HANDLE;
    }
    std::uint32_t rx = 0;
    std::uint32_t tx = 0;
    std::uint32_t events = 0;
    const FT_STATUS status = device->FT_GetStatus(handle, &rx, &tx, &events);
    CopyOut(rxQueue, rx);
    CopyOut(txQueue, tx);
    CopyOut(eventStatus, events);
    return status;
}

#ifndef VANTIX_TEST_D2XX_WITHOUT_QUEUE_STATUS
VANTIX_EXPORT Status VANTIX_D2XX_CALL FT_GetQueueStatus(Handle handle, Dword* rxQueue) {
    D2xxApi* device = Device();
    if (!device) {
        return FT_INVALID_HANDLE;
    }
    std::uint32_t rx = 0;
    const FT_STATUS status = device->FT_GetQueueStatus(handle, &rx);
    CopyOut(rxQueue, rx);
    return status;
}
#endif

// The exports must have exactly the signatures the backend calls through.
static_assert(std::is_same_v<decltype(&FT_ListDevices), vendor_d2xx::ListDevicesFn>);
static_assert(std::is_same_v<decltype(&FT_OpenEx), vendor_d2xx::OpenExFn>);
static_assert(std::is_same_v<decltype(&FT_ResetDevice), vendor_d2xx::ResetDeviceFn>);
static_assert(std::is_same_v<decltype(&FT_GetLatencyTimer), vendor_d2xx::GetLatencyTimerFn>);
static_assert(std::is_same_v<decltype(&FT_SetLatencyTimer), vendor_d2xx::SetLatencyTimerFn>);
static_assert(std::is_same_v<decltype(&FT_SetBaudRate), vendor_d2xx::SetBaudRateFn>);
static_assert(
    std::is_same_v<decltype(&FT_SetDataCharacteristics), vendor_d2xx::SetDataCharacteristicsFn>);
static_assert(std::is_same_v<decltype(&FT_SetFlowControl), vendor_d2xx::SetFlowControlFn>);
static_assert(std::is_same_v<decltype(&FT_SetTimeouts), vendor_d2xx::SetTimeoutsFn>);
static_assert(std::is_same_v<decltype(&FT_Purge), vendor_d2xx::PurgeFn>);
static_assert(std::is_same_v<decltype(&FT_Close), vendor_d2xx::CloseFn>);
static_assert(std::is_same_v<decltype(&FT_Write), vendor_d2xx::WriteFn>);
static_assert(std::is_same_v<decltype(&FT_Read), vendor_d2xx::ReadFn>);
static_assert(std::is_same_v<decltype(&FT_GetStatus), vendor_d2xx::GetStatusFn>);
