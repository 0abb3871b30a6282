#pragma once

#include <set>

#include "D2xxApi.h"
#include "VendorD2xxAbi.h"

// The D2XX calls answered by the vendor library's own entry points. Converts between our
// fixed-width types and the vendor's, and remembers which handles are open so that none
// is left open when the library goes away.
class VendorD2xxApi final : public D2xxApi {
public:
    explicit VendorD2xxApi(const vendor_d2xx::EntryPoints& calls) : calls_(calls) {}
    ~VendorD2xxApi() override;
    VendorD2xxApi(const VendorD2xxApi&) = delete;
    VendorD2xxApi& operator=(const VendorD2xxApi&) = delete;

    FT_STATUS FT_ListDevices(void* arg1, void* arg2, std::uint32_t flags) override;
    FT_STATUS FT_OpenEx(void* arg, std::uint32_t flags, FT_HANDLE* handle) override;
    FT_STATUS FT_ResetDevice(FT_HANDLE handle) override;
    FT_STATUS FT_GetLatencyTimer(FT_HANDLE handle, std::uint8_t* timerMs) override;
    FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, std::uint8_t timerMs) override;
    FT_STATUS FT_SetBaudRate(FT_HANDLE handle, std::uint32_t baud) override;
    FT_STATUS FT_SetDataCharacteristics(FT_HANDLE handle, std::uint8_t wordLength,
                                        std::uint8_t stopBits, std::uint8_t parity) override;
    FT_STATUS FT_SetFlowControl(FT_HANDLE handle, std::uint16_t flowControl, std::uint8_t xon,
                                std::uint8_t xoff) override;
    FT_STATUS FT_SetTimeouts(FT_HANDLE handle, std::uint32_t readMs,
                             std::uint32_t writeMs) override;
    FT_STATUS FT_Purge(FT_HANDLE handle, std::uint32_t mask) override;
    FT_STATUS FT_Close(FT_HANDLE handle) override;
    FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, std::uint32_t count,
                       std::uint32_t* written) override;
    FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, std::uint32_t count,
                      std::uint32_t* received) override;
    FT_STATUS FT_GetStatus(FT_HANDLE handle, std::uint32_t* rxQueue, std::uint32_t* txQueue,
                           std::uint32_t* eventStatus) override;
    FT_STATUS FT_GetQueueStatus(FT_HANDLE handle, std::uint32_t* rxQueue) override;

    bool HasOpenHandles() const { return !openHandles_.empty(); }

private:
    vendor_d2xx::EntryPoints calls_;
    std::set<FT_HANDLE> openHandles_;
};
