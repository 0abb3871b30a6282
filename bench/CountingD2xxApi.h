#pragma once

#include <cstdint>

#include "ForwardingD2xxApi.h"
#include "FrameScanner.h"

class VirtualClock;

// Passes every call to the device underneath and counts what crosses the wire: bytes the
// host wrote and read, frames, and the frames that wait for a reply. Given the virtual clock
// the device runs on, it also sums the virtual time spent inside writes and reads.
class CountingD2xxApi final : public ForwardingD2xxApi {
public:
    struct Counts {
        std::uint64_t bytesWritten = 0;  // host to pod, as FT_Write reported them
        std::uint64_t bytesRead = 0;     // pod to host, as FT_Read delivered them
        std::uint64_t frames = 0;
        std::uint64_t repliedFrames = 0;  // frames the pod answers (one latency period each)
        std::uint64_t writeUs = 0;        // virtual time inside FT_Write
        std::uint64_t readUs = 0;         // virtual time inside FT_Read
    };

    CountingD2xxApi(D2xxApi& device, VirtualClock* clock)
        : ForwardingD2xxApi(device), clock_(clock) {}

    const Counts& Totals() const { return counts_; }
    void Reset() { counts_ = Counts{}; }

    FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, std::uint32_t count,
                       std::uint32_t* written) override;
    FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, std::uint32_t count,
                      std::uint32_t* received) override;

private:
    std::uint64_t NowUs() const;

    VirtualClock* clock_;
    FrameScanner scanner_;
    Counts counts_;
};
