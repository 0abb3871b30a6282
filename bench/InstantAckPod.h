#pragma once

#include <cstdint>
#include <vector>

#include "D2xxDouble.h"
#include "FrameScanner.h"

class SFileImage;

// A pod that costs nothing: every frame that waits for a reply is acknowledged the moment it
// is written, O returns the info record of the loaded image, nothing takes wire or working
// time and no call ever waits. What a run against it costs is the host's own work.
class InstantAckPod final : public D2xxDouble {
public:
    explicit InstantAckPod(const SFileImage& image) : image_(image) {}

    FT_STATUS FT_ListDevices(void* arg1, void* arg2, std::uint32_t flags) override;
    FT_STATUS FT_OpenEx(void* arg, std::uint32_t flags, FT_HANDLE* handle) override;
    FT_STATUS FT_GetLatencyTimer(FT_HANDLE, std::uint8_t* timerMs) override;
    FT_STATUS FT_Purge(FT_HANDLE, std::uint32_t mask) override;
    FT_STATUS FT_Write(FT_HANDLE, const void* buffer, std::uint32_t count,
                       std::uint32_t* written) override;
    FT_STATUS FT_Read(FT_HANDLE, void* buffer, std::uint32_t count,
                      std::uint32_t* received) override;
    FT_STATUS FT_GetStatus(FT_HANDLE, std::uint32_t* rxQueue, std::uint32_t* txQueue,
                           std::uint32_t* eventStatus) override;
    FT_STATUS FT_GetQueueStatus(FT_HANDLE, std::uint32_t* rxQueue) override;

private:
    void QueueInfoRecord();
    void Queue(std::uint8_t byte) { rx_.push_back(byte); }
    void QueueWord(std::uint16_t word);
    std::uint32_t Waiting() const { return static_cast<std::uint32_t>(rx_.size() - rxHead_); }

    const SFileImage& image_;
    FrameScanner scanner_;
    std::vector<std::uint8_t> rx_;
    std::size_t rxHead_ = 0;
};
