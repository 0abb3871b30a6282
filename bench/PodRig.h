#pragma once

#include <cstdint>

#include "CUsbPod.h"
#include "Clock.h"
#include "CountingClock.h"
#include "CountingD2xxApi.h"
#include "FixedD2xxLibrary.h"

class SFileImage;

// The host driver over a given device, with a count of the wire traffic and of the host's
// own sleeps, opened and ready for one of the operations the benchmarks time.
class PodRig {
public:
    enum class Operation { TargetWriteVerify, PodWrite, PodVerify };

    // clock: the virtual clock the device runs on; the host sleeps on it too.
    PodRig(D2xxApi& device, VirtualClock& clock, const SFileImage& image);

    bool Opened() const { return opened_; }
    // Runs the operation on every region of the image; the PodResult, 0 on success.
    PodResult Run(Operation operation);
    void ResetCounts();

    const CountingD2xxApi::Counts& Wire() const { return counting_.Totals(); }
    const CountingClock& HostClock() const { return hostClock_; }
    CUsbPod& Pod() { return pod_; }

    static const char* Name(Operation operation);

private:
    CountingD2xxApi counting_;
    FixedD2xxLibrary library_;
    CountingClock hostClock_;
    CUsbPod pod_;
    bool opened_ = false;
};
