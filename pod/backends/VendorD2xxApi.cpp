#include "VendorD2xxApi.h"

namespace {

// The vendor's double words and ours have the same width but not always the same type
// (unsigned long on Windows), so counts travel through a vendor-typed local.
void CopyOut(std::uint32_t* destination, vendor_d2xx::Dword value) {
    if (destination) {
        *destination = static_cast<std::uint32_t>(value);
    }
}

}  // namespace

VendorD2xxApi::~VendorD2xxApi() {
    for (FT_HANDLE handle : openHandles_) {
        calls_.purge(handle, FT_PURGE_RX | FT_PURGE_TX);
        calls_.close(handle);
    }
}

FT_STATUS VendorD2xxApi::FT_ListDevices(void* arg1, void* arg2, std::uint32_t flags) {
    if (flags & FT_LIST_NUMBER_ONLY) {
        // arg1 receives the count.
        vendor_d2xx::Dword count = 0;
        const FT_STATUS status = calls_.listDevices(&count, arg2, flags);
        CopyOut(static_cast<std::uint32_t*>(arg1), count);
        return status;
    }
    if (flags & FT_LIST_ALL) {
        // arg1 is the table of buffers, arg2 receives the count.
        vendor_d2xx::Dword count = 0;
        const FT_STATUS status = calls_.listDevices(arg1, &count, flags);
        CopyOut(static_cast<std::uint32_t*>(arg2), count);
        return status;
    }
    // By index: arg1 carries the index itself, arg2 the string buffer.
    return calls_.listDevices(arg1, arg2, flags);
}

FT_STATUS VendorD2xxApi::FT_OpenEx(void* arg, std::uint32_t flags, FT_HANDLE* handle) {
    FT_HANDLE opened = nullptr;
    const FT_STATUS status = calls_.openEx(arg, flags, &opened);
    if (status == FT_OK && opened) {
        openHandles_.insert(opened);
    }
    if (handle) {
        *handle = opened;
    }
    return status;
}

FT_STATUS VendorD2xxApi::FT_ResetDevice(FT_HANDLE handle) {
    return calls_.resetDevice(handle);
}

FT_STATUS VendorD2xxApi::FT_GetLatencyTimer(FT_HANDLE handle, std::uint8_t* timerMs) {
    unsigned char timer = 0;
    const FT_STATUS status = calls_.getLatencyTimer(handle, &timer);
    if (timerMs) {
        *timerMs = timer;
    }
    return status;
}

FT_STATUS VendorD2xxApi::FT_SetLatencyTimer(FT_HANDLE handle, std::uint8_t timerMs) {
    return calls_.setLatencyTimer(handle, timerMs);
}

FT_STATUS VendorD2xxApi::FT_SetBaudRate(FT_HANDLE handle, std::uint32_t baud) {
    return calls_.setBaudRate(handle, baud);
}

FT_STATUS VendorD2xxApi::FT_SetDataCharacteristics(FT_HANDLE handle, std::uint8_t wordLength,
                                                   std::uint8_t stopBits, std::uint8_t parity) {
    return calls_.setDataCharacteristics(handle, wordLength, stopBits, parity);
}

FT_STATUS VendorD2xxApi::FT_SetFlowControl(FT_HANDLE handle, std::uint16_t flowControl,
                                           std::uint8_t xon, std::uint8_t xoff) {
    return calls_.setFlowControl(handle, flowControl, xon, xoff);
}

FT_STATUS VendorD2xxApi::FT_SetTimeouts(FT_HANDLE handle, std::uint32_t readMs,
                                        std::uint32_t writeMs) {
    return calls_.setTimeouts(handle, readMs, writeMs);
}

FT_STATUS VendorD2xxApi::FT_Purge(FT_HANDLE handle, std::uint32_t mask) {
    return calls_.purge(handle, mask);
}

FT_STATUS VendorD2xxApi::FT_Close(FT_HANDLE handle) {
    const FT_STATUS status = calls_.close(handle);
    if (status == FT_OK) {
        openHandles_.erase(handle);
    }
    return status;
}

FT_STATUS VendorD2xxApi::FT_Write(FT_HANDLE handle, const void* buffer, std::uint32_t count,
                                  std::uint32_t* written) {
    vendor_d2xx::Dword done = 0;
    // The vendor declares the buffer non-const but only reads it.
    const FT_STATUS status = calls_.write(handle, const_cast<void*>(buffer), count, &done);
    CopyOut(written, done);
    return status;
}

FT_STATUS VendorD2xxApi::FT_Read(FT_HANDLE handle, void* buffer, std::uint32_t count,
                                 std::uint32_t* received) {
    vendor_d2xx::Dword done = 0;
    const FT_STATUS status = calls_.read(handle, buffer, count, &done);
    CopyOut(received, done);
    return status;
}

FT_STATUS VendorD2xxApi::FT_GetStatus(FT_HANDLE handle, std::uint32_t* rxQueue,
                                      std::uint32_t* txQueue, std::uint32_t* eventStatus) {
    vendor_d2xx::Dword rx = 0;
    vendor_d2xx::Dword tx = 0;
    vendor_d2xx::Dword events = 0;
    const FT_STATUS status = calls_.getStatus(handle, &rx, &tx, &events);
    CopyOut(rxQueue, rx);
    CopyOut(txQueue, tx);
    CopyOut(eventStatus, events);
    return status;
}

FT_STATUS VendorD2xxApi::FT_GetQueueStatus(FT_HANDLE handle, std::uint32_t* rxQueue) {
    vendor_d2xx::Dword rx = 0;
    const FT_STATUS status = calls_.getQueueStatus(handle, &rx);
    CopyOut(rxQueue, rx);
    return status;
}
