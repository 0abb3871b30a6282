#include "FtdiSerialDevice.h"

#include <algorithm>

#include "Clock.h"

namespace {

// Enough for any reply; a flood beyond this stays in the chip until it is read.
constexpr std::size_t kReceiveBufferLimit = 64 * 1024;
constexpr int kPollChunk = 512;

// The D2XX values of the line format.
static_assert(static_cast<std::uint8_t>(DataBits::Eight) == FT_BITS_8);
static_assert(static_cast<std::uint8_t>(StopBits::One) == FT_STOP_BITS_1);
static_assert(static_cast<std::uint8_t>(Parity::None) == FT_PARITY_NONE);
static_assert(static_cast<std::uint16_t>(FlowControl::None) == FT_FLOW_NONE);

bool MeansDeviceGone(int code) {
    return code == kFtdiDeviceUnavailable || code == kUsbErrorNoDevice;
}

}  // namespace

FtdiSerialDevice::FtdiSerialDevice(std::unique_ptr<FtdiPort> port, Clock& clock, std::string label)
    : port_(std::move(port)), clock_(clock), label_(std::move(label)) {}

FtdiSerialDevice::~FtdiSerialDevice() {
    Close();
}

FT_STATUS FtdiSerialDevice::Fail(int code) {
    if (MeansDeviceGone(code)) {
        lost_ = true;
    }
    lastError_ = port_->ErrorString();
    if (lastError_.empty()) {
        lastError_ = "USB error " + std::to_string(code);
    }
    return FT_IO_ERROR;
}

FT_STATUS FtdiSerialDevice::Reset() {
    if (lost_) {
        return FT_IO_ERROR;
    }
    const int result = port_->Reset();
    if (result < 0) {
        return Fail(result);
    }
    // The reset drops whatever the chip held; what we buffered from it goes too.
    received_.clear();
    return FT_OK;
}

FT_STATUS FtdiSerialDevice::GetLatencyTimer(std::uint8_t* timerMs) {
    if (lost_) {
        return FT_IO_ERROR;
    }
    std::uint8_t timer = 0;
    const int result = port_->GetLatencyTimer(timer);
    if (result < 0) {
        return Fail(result);
    }
    if (timerMs) {
        *timerMs = timer;
    }
    return FT_OK;
}

FT_STATUS FtdiSerialDevice::SetLatencyTimer(std::uint8_t timerMs) {
    if (lost_) {
        return FT_IO_ERROR;
    }
    if (timerMs < 1) {
        return FT_INVALID_PARAMETER;
    }
    const int result = port_->SetLatencyTimer(timerMs);
    return result < 0 ? Fail(result) : FT_OK;
}

FT_STATUS FtdiSerialDevice::SetBaudRate(std::uint32_t baud) {
    if (lost_) {
        return FT_IO_ERROR;
    }
    if (baud == 0 || baud > 12000000) {
        return FT_INVALID_BAUD_RATE;
    }
    const int result = port_->SetBaudRate(static_cast<int>(baud));
    if (result == -1) {  // libftdi: no divisor for this rate
        return FT_INVALID_BAUD_RATE;
    }
    return result < 0 ? Fail(result) : FT_OK;
}

FT_STATUS FtdiSerialDevice::SetDataCharacteristics(std::uint8_t wordLength, std::uint8_t stopBits,
                                                   std::uint8_t parity) {
    if (lost_) {
        return FT_IO_ERROR;
    }
    const auto bits = DataBitsNamed(wordLength);
    const auto stop = StopBitsNamed(stopBits);
    const auto parityKind = ParityNamed(parity);
    if (!bits || !stop || !parityKind) {
        return FT_INVALID_PARAMETER;
    }
    const int result = port_->SetLineProperty(*bits, *stop, *parityKind);
    return result < 0 ? Fail(result) : FT_OK;
}

FT_STATUS FtdiSerialDevice::SetFlowControl(std::uint16_t flowControl, std::uint8_t xon,
                                           std::uint8_t xoff) {
    if (lost_) {
        return FT_IO_ERROR;
    }
    const auto flow = FlowControlNamed(flowControl);
    if (!flow) {
        return FT_INVALID_PARAMETER;
    }
    const int result = port_->SetFlowControl(*flow, xon, xoff);
    return result < 0 ? Fail(result) : FT_OK;
}

FT_STATUS FtdiSerialDevice::SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs) {
    if (lost_) {
        return FT_IO_ERROR;
    }
    readTimeoutMs_ = readMs;
    // One USB transfer must not outlast the caller's time-out by much; the chip answers
    // every bulk read within its latency timer, so only a stuck device waits this long.
    constexpr std::uint32_t kShortestUsbTimeoutMs = 100;
    constexpr std::uint32_t kLongestUsbTimeoutMs = 60000;
    auto usbTimeout = [&](std::uint32_t ms) {
        return static_cast<int>(std::clamp(ms, kShortestUsbTimeoutMs, kLongestUsbTimeoutMs));
    };
    port_->SetUsbTimeouts(usbTimeout(readMs), usbTimeout(writeMs));
    return FT_OK;
}

FT_STATUS FtdiSerialDevice::Purge(std::uint32_t mask) {
    if (lost_) {
        return FT_IO_ERROR;
    }
    const bool rx = (mask & FT_PURGE_RX) != 0;
    const bool tx = (mask & FT_PURGE_TX) != 0;
    if (!rx && !tx) {
        return FT_OK;
    }
    if (rx) {
        received_.clear();
    }
    const int result = port_->Flush(rx, tx);
    return result < 0 ? Fail(result) : FT_OK;
}

FT_STATUS FtdiSerialDevice::Write(const void* buffer, std::uint32_t count, std::uint32_t* written) {
    if (written) {
        *written = 0;
    }
    if (lost_) {
        return FT_IO_ERROR;
    }
    if (count == 0) {
        return FT_OK;
    }
    if (!buffer) {
        return FT_INVALID_PARAMETER;
    }
    const int result =
        port_->Write(static_cast<const std::uint8_t*>(buffer), static_cast<int>(count));
    if (result < 0) {
        return Fail(result);
    }
    if (written) {
        *written = static_cast<std::uint32_t>(result);
    }
    // libftdi writes until everything is out or the transfer fails; a short count means
    // bytes were lost, and the caller must not take the frame as sent.
    if (static_cast<std::uint32_t>(result) < count) {
        lastError_ = "USB write stopped after " + std::to_string(result) + " of " +
                     std::to_string(count) + " bytes";
        return FT_IO_ERROR;
    }
    return FT_OK;
}

int FtdiSerialDevice::Poll() {
    if (received_.size() >= kReceiveBufferLimit) {
        return 0;
    }
    std::uint8_t chunk[kPollChunk];
    const int result = port_->Read(chunk, kPollChunk);
    if (result > 0) {
        received_.insert(received_.end(), chunk, chunk + std::min(result, kPollChunk));
    }
    return result;
}

FT_STATUS FtdiSerialDevice::Read(void* buffer, std::uint32_t count, std::uint32_t* received) {
    if (received) {
        *received = 0;
    }
    if (lost_) {
        return FT_IO_ERROR;
    }
    if (count > 0 && !buffer) {
        return FT_INVALID_PARAMETER;
    }
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::uint32_t done = 0;
    const std::uint32_t start = clock_.TickMs();
    for (;;) {
        const std::uint32_t take =
            std::min<std::uint32_t>(count - done, static_cast<std::uint32_t>(received_.size()));
        std::copy_n(received_.begin(), take, out + done);
        received_.erase(received_.begin(), received_.begin() + take);
        done += take;
        if (received) {
            *received = done;
        }
        if (done == count) {
            return FT_OK;
        }
        const int polled = Poll();
        if (polled < 0) {
            return Fail(polled);
        }
        if (polled == 0) {
            // The time-out is the whole call's, as with the vendor library; elapsed time
            // is unsigned so the tick counter's wrap does no harm.
            if (clock_.TickMs() - start >= readTimeoutMs_) {
                return FT_OK;
            }
            if (!port_->AwaitReceive(1)) {
                clock_.SleepMs(1);
            }
        }
    }
}

FT_STATUS FtdiSerialDevice::QueueStatus(std::uint32_t* rxQueue) {
    if (lost_) {
        return FT_IO_ERROR;
    }
    const int polled = Poll();
    if (polled < 0) {
        return Fail(polled);
    }
    if (rxQueue) {
        *rxQueue = static_cast<std::uint32_t>(received_.size());
    }
    return FT_OK;
}

void FtdiSerialDevice::Close() {
    if (closed_) {
        return;
    }
    closed_ = true;
    received_.clear();
    // A device that has gone cannot be released cleanly; libftdi frees the handle anyway.
    port_->Close();
}
