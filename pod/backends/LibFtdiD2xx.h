#pragma once

#include <memory>
#include <string>
#include <vector>

#include "D2xxApi.h"
#include "FtdiBus.h"

class Clock;
class FtdiSerialDevice;

// The D2XX calls answered through libftdi1 (behind FtdiBus). Devices are every USB device
// of FTDI's vendor id, whatever its product id, listed by their USB product string; a
// device is opened by that string. Read time-outs run on the clock.
class LibFtdiD2xx final : public D2xxApi {
public:
    LibFtdiD2xx(std::unique_ptr<FtdiBus> bus, Clock& clock);
    ~LibFtdiD2xx() override;
    LibFtdiD2xx(const LibFtdiD2xx&) = delete;
    LibFtdiD2xx& operator=(const LibFtdiD2xx&) = delete;

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
    // Always releases the device, even one that has gone: a handle that cannot be closed
    // would keep the driver believing it is open.
    FT_STATUS FT_Close(FT_HANDLE handle) override;
    FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, std::uint32_t count,
                       std::uint32_t* written) override;
    FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, std::uint32_t count,
                      std::uint32_t* received) override;
    // The transmit queue is always empty: a write returns when the USB transfer is done.
    FT_STATUS FT_GetStatus(FT_HANDLE handle, std::uint32_t* rxQueue, std::uint32_t* txQueue,
                           std::uint32_t* eventStatus) override;
    FT_STATUS FT_GetQueueStatus(FT_HANDLE handle, std::uint32_t* rxQueue) override;
    std::uint32_t ReceivedBytesPurged(FT_HANDLE handle) override;

    // One line for the log on why the last listing, open or transfer went wrong ("" when
    // the last listing or open went right).
    const std::string& LastError() const { return lastError_; }
    // The device that last failed a call had gone from the bus; until the next open.
    bool DeviceGone() const { return gone_; }

private:
    FT_STATUS Relist();
    FT_STATUS CopyListedString(std::uint32_t index, std::uint32_t flags, char* destination);
    FtdiSerialDevice* Find(FT_HANDLE handle);
    FT_STATUS Track(FtdiSerialDevice* device, FT_STATUS status);

    std::unique_ptr<FtdiBus> bus_;
    Clock& clock_;
    std::vector<FtdiDeviceEntry> listed_;
    std::vector<std::unique_ptr<FtdiSerialDevice>> open_;
    std::string lastError_;
    bool gone_ = false;
};
