#include "PodLink.h"

#include <cstdio>
#include <cstring>

#include "Clock.h"
#include "D2xxLibrary.h"
#include "PodFrames.h"
#include "WireTrace.h"

namespace {

constexpr std::uint32_t kBaudRate = 921600;
constexpr std::uint8_t kLatencyTimerMs = 1;
constexpr std::uint32_t kDeviceTimeoutMs = 200;

// After the last byte of a reply, this much silence ends it.
constexpr std::uint32_t kInterByteSilenceMs = 100;
// A receive queue that keeps reporting bytes which no read delivers is taken for silence
// this long after the silence limit, so a confused device cannot keep a read going.
constexpr std::uint32_t kPhantomQueueGraceMs = 1000;
// The transmit queue is polled without sleeping, as it normally drains within a few
// milliseconds; after this many polls without draining the poll yields for 1 ms, so a
// stuck queue costs little CPU and a virtual clock moves towards the deadline.
constexpr std::uint32_t kTightPollsPerYield = 256;

// The silence of a reply, measured from the first empty poll after the last byte (or after
// the call) and stopped by every byte that arrives.
class ReplySilence {
public:
    void Stop() { running_ = false; }
    // An empty poll: the first starts the timer, later ones read the clock; then 1 ms rest.
    void EmptyPoll(Clock& clock) {
        if (!running_) {
            running_ = true;
            start_ = clock.TickMs();
            now_ = start_;
        } else {
            now_ = clock.TickMs();
        }
        clock.SleepMs(1);
    }
    bool Ends(std::uint32_t limitMs, std::uint32_t waiting) const {
        if (!running_) {
            return false;
        }
        const std::uint32_t silent = now_ - start_;
        return (waiting == 0 && silent >= limitMs) || silent >= limitMs + kPhantomQueueGraceMs;
    }

private:
    bool running_ = false;
    std::uint32_t start_ = 0;
    std::uint32_t now_ = 0;
};

void* IndexArgument(std::uint32_t index) {
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(index));
}

}  // namespace

PodLink::PodLink(D2xxLibrary& library, Clock& clock) : library_(library), clock_(clock) {}

PodLink::~PodLink() {
    // Close first: once the library is released its calls may no longer be there.
    Close();
    FreeLibrary();
}

bool PodLink::LoadLibrary() {
    // Loading twice would leave a second reference that one FreeLibrary never returns.
    if (api_ == nullptr) {
        api_ = library_.Load();
    }
    return api_ != nullptr;
}

void PodLink::FreeLibrary() {
    if (api_ == nullptr) {
        return;
    }
    if (handle_ != nullptr && !Close()) {
        // The handle is worthless without the library; forget it rather than call into
        // released code later.
        AbandonHandle();
    }
    library_.Free();
    api_ = nullptr;
}

const char* PodLink::LibraryName() const {
    return library_.Name();
}

std::string PodLink::LastLibraryError() const {
    return library_.LastError();
}

void PodLink::SetWantedSerial(const std::string& serial) {
    if (serial != wantedSerial_) {
        wantedSerial_ = serial;
        found_ = 0;  // the pod found so far may be another one
    }
}

bool PodLink::HasWantedSerial(std::uint32_t index) {
    if (wantedSerial_.empty()) {
        return true;
    }
    char serial[kDescriptionSize] = {};
    const FT_STATUS status = api_->FT_ListDevices(IndexArgument(index), serial,
                                                  FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER);
    serial[kDescriptionSize - 1] = '\0';
    return status == FT_OK && wantedSerial_ == serial;
}

bool PodLink::FindPod() {
    if (api_ == nullptr) {
        found_ = 0;
        return false;
    }
    if (found_ != 0) {
        return true;
    }
    std::memset(description_, 0, sizeof description_);
    std::uint32_t deviceCount = 0;
    if (api_->FT_ListDevices(&deviceCount, nullptr, FT_LIST_NUMBER_ONLY) != FT_OK ||
        deviceCount == 0) {
        std::memset(description_, 0, sizeof description_);
        found_ = 0;
        return false;
    }
    for (std::uint32_t index = 0; index < deviceCount; ++index) {
        const FT_STATUS status = api_->FT_ListDevices(IndexArgument(index), description_,
                                                      FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION);
        // A description that fills all 64 bytes has no terminator of its own.
        description_[kDescriptionSize - 1] = '\0';
        if (status == FT_OK && std::strcmp(description_, kPodDescription) == 0 &&
            HasWantedSerial(index)) {
            found_ = 1;
            return true;
        }
        std::memset(description_, 0, sizeof description_);
    }
    found_ = 0;
    return false;
}

bool PodLink::OpenPort() {
    if (api_ == nullptr || found_ == 0) {
        return false;
    }
    const FT_STATUS opened =
        wantedSerial_.empty()
            ? api_->FT_OpenEx(description_, FT_OPEN_BY_DESCRIPTION, &handle_)
            : api_->FT_OpenEx(wantedSerial_.data(), FT_OPEN_BY_SERIAL_NUMBER, &handle_);
    if (opened != FT_OK || handle_ == nullptr) {
        handle_ = nullptr;
        return false;
    }
    everOpened_ = true;
    if (!ConfigurePort()) {
        DropPort();
        return false;
    }
    return true;
}

bool PodLink::ConfigurePort() {
    std::uint8_t latency = 0;
    bool configured = api_->FT_ResetDevice(handle_) == FT_OK &&
                      api_->FT_GetLatencyTimer(handle_, &latency) == FT_OK;
    if (configured && latency != kLatencyTimerMs) {
        configured = api_->FT_SetLatencyTimer(handle_, kLatencyTimerMs) == FT_OK;
    }
    return configured && api_->FT_SetBaudRate(handle_, kBaudRate) == FT_OK &&
           api_->FT_SetDataCharacteristics(handle_, FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_NONE) ==
               FT_OK &&
           api_->FT_SetFlowControl(handle_, FT_FLOW_NONE, 0, 0) == FT_OK &&
           api_->FT_SetTimeouts(handle_, kDeviceTimeoutMs, kDeviceTimeoutMs) == FT_OK &&
           api_->FT_Purge(handle_, FT_PURGE_RX | FT_PURGE_TX) == FT_OK;
}

void PodLink::DropPort() {
    api_->FT_Close(handle_);
    handle_ = nullptr;
}

bool PodLink::Close() {
    if (handle_ == nullptr) {
        return true;
    }
    if (api_ == nullptr) {
        return false;
    }
    api_->FT_Purge(handle_, FT_PURGE_RX | FT_PURGE_TX);
    if (api_->FT_Close(handle_) != FT_OK) {
        return false;
    }
    handle_ = nullptr;
    open_ = 0;
    return true;
}

void PodLink::AbandonHandle() {
    handle_ = nullptr;
    open_ = 0;
}

bool PodLink::DiscardReceived() {
    if (api_ == nullptr || handle_ == nullptr || api_->FT_Purge(handle_, FT_PURGE_RX) != FT_OK) {
        return false;
    }
    // A late reply can have reached the host, on its way in a transfer, when the purge came.
    if (const std::uint32_t thrown = api_->ReceivedBytesPurged(handle_); thrown != 0) {
        TraceNote("# " + std::to_string(thrown) + (thrown == 1 ? " stale byte" : " stale bytes") +
                  " thrown away by the purge");
    }
    return true;
}

bool PodLink::WriteFrame(const void* bytes, std::uint32_t length, std::uint32_t timeoutMs) {
    if (api_ == nullptr || handle_ == nullptr) {
        return false;
    }
    const auto* data = static_cast<const std::uint8_t*>(bytes);
    // A device that takes fewer bytes than offered has not sent the frame; the count starts
    // at the full length for backends that do not report it.
    std::uint32_t written = length;
    const FT_STATUS writeStatus =
        api_->FT_Write(handle_, const_cast<void*>(bytes), length, &written);
    if (writeStatus != FT_OK || written < length) {
        Trace('>', data, length, writeStatus != FT_OK ? Failed("FT_Write error") : "short write");
        return false;
    }
    std::uint32_t rxQueue = 0;
    std::uint32_t txQueue = 0;
    std::uint32_t events = 0;
    if (api_->FT_GetStatus(handle_, &rxQueue, &txQueue, &events) != FT_OK) {
        Trace('>', data, length, Failed("FT_GetStatus error"));
        return false;
    }
    const std::uint32_t begin = clock_.TickMs();
    std::uint32_t polls = 0;
    while (txQueue != 0 && clock_.TickMs() - begin <= timeoutMs) {
        if (api_->FT_GetStatus(handle_, &rxQueue, &txQueue, &events) != FT_OK) {
            Trace('>', data, length, Failed("FT_GetStatus error"));
            return false;
        }
        if (++polls % kTightPollsPerYield == 0 && txQueue != 0) {
            clock_.SleepMs(1);
        }
    }
    Trace('>', data, length, txQueue == 0 ? nullptr : "transmit time-out");
    return txQueue == 0;
}

// The first byte may take the caller's time-out, every further byte at most
// kInterByteSilenceMs, both measured from the first empty poll after the last byte.
PodLink::ReplyRead PodLink::ReadReplyBytes(std::uint8_t* buffer, std::uint32_t count,
                                           std::uint32_t timeoutMs, bool stopOnRefusal) {
    ReplyRead read;
    if (api_ == nullptr || handle_ == nullptr || buffer == nullptr || count > kMaxReplySize) {
        return read;
    }
    if (count == 0) {
        read.complete = true;  // nothing wanted: no byte may be stored anywhere
        return read;
    }
    std::uint32_t silenceLimit = timeoutMs;
    ReplySilence silence;
    std::uint32_t got = 0;
    if (api_->FT_Read(handle_, buffer, 1, &got) != FT_OK) {
        return ReadEnded(buffer, read, count, Failed("FT_Read error"));
    }
    for (;;) {
        if (got != 0) {
            ++read.received;
            silence.Stop();
            silenceLimit = kInterByteSilenceMs;
            if (stopOnRefusal && read.received == 1 && buffer[0] != PodFrames::kAck) {
                Trace('<', buffer, read.received, "not acknowledged");
                return read;
            }
        } else {
            silence.EmptyPoll(clock_);
        }
        std::uint32_t waiting = 0;
        if (api_->FT_GetQueueStatus(handle_, &waiting) != FT_OK) {
            return ReadEnded(buffer, read, count, Failed("FT_GetQueueStatus error"));
        }
        const bool done = read.received >= count;
        if (done || silence.Ends(silenceLimit, waiting)) {
            return ReadEnded(buffer, read, count, done ? nullptr : "time-out");
        }
        got = 0;
        if (api_->FT_Read(handle_, buffer + read.received, 1, &got) != FT_OK) {
            return ReadEnded(buffer, read, count, Failed("FT_Read error"));
        }
    }
}

// Traces the read as it ended; failure null: every wanted byte came.
PodLink::ReplyRead PodLink::ReadEnded(const std::uint8_t* buffer, ReplyRead read,
                                      std::uint32_t count, const char* failure) {
    if (failure == nullptr) {
        Trace('<', buffer, read.received, nullptr);
        read.complete = true;
        return read;
    }
    char text[64];
    std::snprintf(text, sizeof text, "%s, %u of %u bytes", failure,
                  static_cast<unsigned>(read.received), static_cast<unsigned>(count));
    Trace('<', buffer, read.received, text);
    return read;
}

const char* PodLink::Failed(const char* callError) const {
    // A run stopped by Ctrl+C fails its calls on purpose: that is no fault of the device.
    return api_ != nullptr && api_->Interrupted() ? "interrupted" : callError;
}

bool PodLink::ReceiveQueueCount(std::uint32_t& waiting) {
    waiting = 0;
    if (api_ == nullptr || handle_ == nullptr) {
        return false;
    }
    return api_->FT_GetQueueStatus(handle_, &waiting) == FT_OK;
}

void PodLink::Trace(char direction, const std::uint8_t* bytes, std::size_t count,
                    const char* failure) {
    if (trace_ == nullptr) {
        return;
    }
    static const char kHex[] = "0123456789ABCDEF";
    std::string line(1, direction);
    line.reserve(2 + 3 * count + 48);
    for (std::size_t i = 0; i < count; ++i) {
        line += ' ';
        line += kHex[bytes[i] >> 4];
        line += kHex[bytes[i] & 0x0F];
    }
    if (failure != nullptr) {
        line += " (failed: ";
        line += failure;
        line += ')';
    }
    trace_->Line(line);
}

void PodLink::TraceNote(const std::string& note) {
    if (trace_ != nullptr) {
        trace_->Line(note);
    }
}
