#include "InstantAckPod.h"

#include <algorithm>
#include <cstring>

#include "PodFrames.h"
#include "SFileImage.h"

namespace {

// Any non-null value serves: there is one device and it is always there.
FT_HANDLE const kHandle = reinterpret_cast<FT_HANDLE>(std::uintptr_t{0x1});
constexpr char kDescription[] = "USB POD";

}  // namespace

FT_STATUS InstantAckPod::FT_ListDevices(void* arg1, void* arg2, std::uint32_t flags) {
    if (flags == FT_LIST_NUMBER_ONLY) {
        *static_cast<std::uint32_t*>(arg1) = 1;
        return FT_OK;
    }
    if (reinterpret_cast<std::uintptr_t>(arg1) != 0) {
        return FT_DEVICE_NOT_FOUND;
    }
    std::memcpy(arg2, kDescription, sizeof kDescription);
    return FT_OK;
}

FT_STATUS InstantAckPod::FT_OpenEx(void*, std::uint32_t, FT_HANDLE* handle) {
    *handle = kHandle;
    rx_.clear();
    rxHead_ = 0;
    return FT_OK;
}

FT_STATUS InstantAckPod::FT_GetLatencyTimer(FT_HANDLE, std::uint8_t* timerMs) {
    *timerMs = 1;
    return FT_OK;
}

FT_STATUS InstantAckPod::FT_Purge(FT_HANDLE, std::uint32_t mask) {
    if ((mask & FT_PURGE_RX) != 0) {
        rx_.clear();
        rxHead_ = 0;
    }
    return FT_OK;
}

FT_STATUS InstantAckPod::FT_Write(FT_HANDLE, const void* buffer, std::uint32_t count,
                                  std::uint32_t* written) {
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    for (std::uint32_t i = 0; i < count; ++i) {
        const char letter = scanner_.Feed(bytes[i]);
        if (letter == 'O') {
            QueueInfoRecord();
        } else if (letter != 0 && FrameScanner::Acknowledged(letter)) {
            Queue(PodFrames::kAck);
        }
    }
    *written = count;
    return FT_OK;
}

FT_STATUS InstantAckPod::FT_Read(FT_HANDLE, void* buffer, std::uint32_t count,
                                 std::uint32_t* received) {
    const std::uint32_t n = std::min(count, Waiting());
    std::memcpy(buffer, rx_.data() + rxHead_, n);
    rxHead_ += n;
    if (rxHead_ == rx_.size()) {
        rx_.clear();
        rxHead_ = 0;
    }
    *received = n;
    return FT_OK;
}

FT_STATUS InstantAckPod::FT_GetStatus(FT_HANDLE, std::uint32_t* rxQueue, std::uint32_t* txQueue,
                                      std::uint32_t* eventStatus) {
    *rxQueue = Waiting();
    *txQueue = 0;
    *eventStatus = 0;
    return FT_OK;
}

FT_STATUS InstantAckPod::FT_GetQueueStatus(FT_HANDLE, std::uint32_t* rxQueue) {
    *rxQueue = Waiting();
    return FT_OK;
}

// "!", the stored-image marker, CPU, option code 0, then start, end and length of each
// region in MemoryRegion order, little-endian: what a pod holding this image would answer.
void InstantAckPod::QueueInfoRecord() {
    Queue(PodFrames::kAck);
    Queue('w');
    Queue(static_cast<std::uint8_t>(image_.cpu));
    Queue(0);
    for (const RegionImage& region : image_.regions) {
        QueueWord(region.minAddress);
        QueueWord(region.maxAddress);
        QueueWord(region.wordCount);
    }
}

void InstantAckPod::QueueWord(std::uint16_t word) {
    Queue(static_cast<std::uint8_t>(word & 0xFF));
    Queue(static_cast<std::uint8_t>(word >> 8));
}
