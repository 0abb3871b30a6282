#include "SimulatedPod.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>

#include "Clock.h"
#include "SimStateFile.h"

namespace {

constexpr std::uintptr_t kHandleBase = 0x5D000;
constexpr std::size_t kMaxOpenDescription = 256;

bool DescribesPod(const std::string& description) {
    const std::string_view pod = SimulatedPod::kPodDescription;
    if (description.size() < pod.size()) {
        return false;
    }
    for (std::size_t i = 0; i < pod.size(); ++i) {
        const auto c = static_cast<unsigned char>(description[i]);
        if (std::toupper(c) != static_cast<unsigned char>(pod[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

SimulatedPod::SimulatedPod(VirtualClock& clock, SimPace pace, const SimFill& fill)
    : timeline_(pace == SimPace::Instant ? SimTimeline(clock)
                                         : SimTimeline(static_cast<Clock&>(clock))),
      startUs_(timeline_.NowUs()),
      firmware_(target_, eeprom_, counters_) {
    Fill(fill);
}

SimulatedPod::SimulatedPod(Clock& clock, const SimFill& fill)
    : timeline_(clock), startUs_(timeline_.NowUs()), firmware_(target_, eeprom_, counters_) {
    Fill(fill);
}

void SimulatedPod::Fill(const SimFill& fill) {
    target_.Fill(fill);
    eeprom_.Fill(fill);
}

// Every call counts; the scripted failing call and, once unplugged, every later one report
// an I/O error as the vendor library does when the device has gone.
FT_STATUS SimulatedPod::Enter() {
    ++counters_.calls;
    if (faults_.failCall > 0 && (counters_.calls == faults_.failCall ||
                                 (faults_.unplugged && counters_.calls > faults_.failCall))) {
        return FT_IO_ERROR;
    }
    return FT_OK;
}

bool SimulatedPod::Valid(FT_HANDLE handle) const {
    return openDevice_ >= 0 && reinterpret_cast<std::uintptr_t>(handle) == handleValue_;
}

std::string SimulatedPod::SerialOf(std::size_t index) const {
    return index < faults_.serials.size() ? faults_.serials[index] : std::string();
}

bool SimulatedPod::OpenDeviceIsPod() const {
    return openDevice_ >= 0 && DescribesPod(openDescription_);
}

FT_STATUS SimulatedPod::FT_ListDevices(void* arg1, void* arg2, std::uint32_t flags) {
    if (const FT_STATUS status = Enter(); status != FT_OK) {
        return status;
    }
    ++counters_.listDevices;
    if (flags == FT_LIST_NUMBER_ONLY) {
        if (arg1 == nullptr) {
            return FT_INVALID_PARAMETER;
        }
        *static_cast<std::uint32_t*>(arg1) = static_cast<std::uint32_t>(faults_.devices.size());
        return FT_OK;
    }
    const bool bySerial = flags == (FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER);
    if (flags == (FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION) || bySerial) {
        const auto index = reinterpret_cast<std::uintptr_t>(arg1);
        if (arg2 == nullptr) {
            return FT_INVALID_PARAMETER;
        }
        if (index >= faults_.devices.size()) {
            return FT_DEVICE_NOT_FOUND;
        }
        const std::string text = bySerial ? SerialOf(index) : faults_.devices[index];
        const std::size_t n = std::min<std::size_t>(text.size(), kFtDescriptionSize - 1);
        auto* out = static_cast<char*>(arg2);
        std::memcpy(out, text.data(), n);
        out[n] = '\0';
        return FT_OK;
    }
    return FT_INVALID_PARAMETER;
}

FT_STATUS SimulatedPod::FT_OpenEx(void* arg, std::uint32_t flags, FT_HANDLE* handle) {
    if (const FT_STATUS status = Enter(); status != FT_OK) {
        return status;
    }
    if (handle == nullptr) {
        return FT_INVALID_PARAMETER;
    }
    *handle = nullptr;
    if (arg == nullptr || (flags != FT_OPEN_BY_DESCRIPTION && flags != FT_OPEN_BY_SERIAL_NUMBER)) {
        return FT_INVALID_PARAMETER;
    }
    const auto* text = static_cast<const char*>(arg);
    const std::string wanted(text, strnlen(text, kMaxOpenDescription));
    std::size_t found = 0;
    while (found < faults_.devices.size() &&
           (flags == FT_OPEN_BY_DESCRIPTION ? faults_.devices[found] : SerialOf(found)) != wanted) {
        ++found;
    }
    if (found == faults_.devices.size() || (flags == FT_OPEN_BY_SERIAL_NUMBER && wanted.empty())) {
        return FT_DEVICE_NOT_FOUND;
    }
    if (openDevice_ >= 0) {
        return FT_DEVICE_NOT_OPENED;
    }
    openDevice_ = static_cast<int>(found);
    openDescription_ = faults_.devices[found];
    link_.settings = SimLink::Settings{};
    link_.settings.latencyMs = faults_.initialLatencyMs;
    link_.Clear();
    tFramesSinceQueueCheck_ = 0;
    handleValue_ = kHandleBase + 16 * ++openGeneration_;
    *handle = reinterpret_cast<FT_HANDLE>(handleValue_);
    ++counters_.opens;
    return FT_OK;
}

FT_STATUS SimulatedPod::FT_ResetDevice(FT_HANDLE handle) {
    if (const FT_STATUS status = Enter(); status != FT_OK) {
        return status;
    }
    if (!Valid(handle)) {
        return FT_INVALID_HANDLE;
    }
    ++counters_.resets;
    return FT_OK;
}

FT_STATUS SimulatedPod::FT_GetLatencyTimer(FT_HANDLE handle, std::uint8_t* timerMs) {
    if (const FT_STATUS status = Enter(); status != FT_OK) {
        return status;
    }
    if (!Valid(handle)) {
        return FT_INVALID_HANDLE;
    }
    if (timerMs == nullptr) {
        return FT_INVALID_PARAMETER;
    }
    ++counters_.latencyReads;
    *timerMs = link_.settings.latencyMs;
    return FT_OK;
}

FT_STATUS SimulatedPod::FT_SetLatencyTimer(FT_HANDLE handle, std::uint8_t timerMs) {
    if (const FT_STATUS status = Enter(); status != FT_OK) {
        return status;
    }
    if (!Valid(handle)) {
        return FT_INVALID_HANDLE;
    }
    if (timerMs == 0) {
        return FT_INVALID_PARAMETER;
    }
    ++counters_.latencySets;
    link_.settings.latencyMs = timerMs;
    return FT_OK;
}

FT_STATUS SimulatedPod::FT_SetBaudRate(FT_HANDLE handle, std::uint32_t baud) {
    if (const FT_STATUS status = Enter(); status != FT_OK) {
        return status;
    }
    if (!Valid(handle)) {
        return FT_INVALID_HANDLE;
    }
    if (baud < 300 || baud > 3'000'000) {
        return FT_INVALID_BAUD_RATE;
    }
    link_.settings.baud = baud;
    return FT_OK;
}

FT_STATUS SimulatedPod::FT_SetDataCharacteristics(FT_HANDLE handle, std::uint8_t wordLength,
                                                  std::uint8_t stopBits, std::uint8_t parity) {
    if (const FT_STATUS status = Enter(); status != FT_OK) {
        return status;
    }
    if (!Valid(handle)) {
        return FT_INVALID_HANDLE;
    }
    if ((wordLength != 7 && wordLength != 8) || (stopBits != 0 && stopBits != 2) || parity > 4) {
        return FT_INVALID_PARAMETER;
    }
    link_.settings.dataBits = wordLength;
    link_.settings.formatSet = true;
    link_.settings.stopBits = stopBits;
    link_.settings.parity = parity;
    return FT_OK;
}

FT_STATUS SimulatedPod::FT_SetFlowControl(FT_HANDLE handle, std::uint16_t flowControl,
                                          std::uint8_t /*xon*/, std::uint8_t /*xoff*/) {
    if (const FT_STATUS status = Enter(); status != FT_OK) {
        return status;
    }
    if (!Valid(handle)) {
        return FT_INVALID_HANDLE;
    }
    link_.settings.flowControl = flowControl;
    link_.settings.flowControlSet = true;
    return FT_OK;
}

FT_STATUS SimulatedPod::FT_SetTimeouts(FT_HANDLE handle, std::uint32_t readMs,
                                       std::uint32_t writeMs) {
    if (const FT_STATUS status = Enter(); status != FT_OK) {
        return status;
    }
    if (!Valid(handle)) {
        return FT_INVALID_HANDLE;
    }
    link_.settings.readTimeoutMs = readMs;
    link_.settings.writeTimeoutMs = writeMs;
    link_.settings.timeoutsSet = true;
    return FT_OK;
}

FT_STATUS SimulatedPod::FT_Purge(FT_HANDLE handle, std::uint32_t mask) {
    if (const FT_STATUS status = Enter(); status != FT_OK) {
        return status;
    }
    if (!Valid(handle)) {
        return FT_INVALID_HANDLE;
    }
    ++counters_.purges;
    counters_.lastPurgeMask = mask;
    // What is already on its way to the pod cannot be called back; the model hands bytes to
    // the pod as they are written, so only the receive side is purged.
    if ((mask & FT_PURGE_RX) != 0) {
        link_.DropArrived(timeline_.NowUs());
    }
    return FT_OK;
}

FT_STATUS SimulatedPod::FT_Close(FT_HANDLE handle) {
    if (const FT_STATUS status = Enter(); status != FT_OK) {
        return status;
    }
    if (!Valid(handle)) {
        return FT_INVALID_HANDLE;
    }
    ++counters_.closes;
    link_.Clear();
    openDevice_ = -1;
    openDescription_.clear();
    handleValue_ = 0;
    return FT_OK;
}

FT_STATUS SimulatedPod::FT_Write(FT_HANDLE handle, const void* buffer, std::uint32_t count,
                                 std::uint32_t* written) {
    if (const FT_STATUS status = Enter(); status != FT_OK) {
        return status;
    }
    if (!Valid(handle)) {
        return FT_INVALID_HANDLE;
    }
    if (count > 0 && buffer == nullptr) {
        return FT_INVALID_PARAMETER;
    }
    ++counters_.writes;
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    const std::size_t logged = std::min<std::size_t>(count, kMaxByteLog - byteLog_.size());
    byteLog_.append(reinterpret_cast<const char*>(bytes), logged);

    const std::uint64_t begin = std::max(timeline_.NowUs(), link_.TxBusyUntil());
    const std::uint64_t end = begin + link_.WireUs(count);
    if (OpenDeviceIsPod() && !link_.SetUpAsTheHostMust()) {
        ++counters_.linkRefusals;
    } else if (OpenDeviceIsPod()) {
        bool carriedT = false;
        for (std::uint32_t i = 0; i < count; ++i) {
            Receive(bytes[i], begin + link_.WireUs(std::uint64_t{i} + 1), end, carriedT);
        }
        if (carriedT) {
            ++counters_.tBatches;
            if (faults_.objectAfterTBatch == counters_.tBatches) {
                link_.PutReadable(SimPodFirmware::kObjection, end);
            }
        }
    }
    link_.SetTxBusyUntil(end);
    if (written != nullptr) {
        *written = count;
    }
    if (timeline_.Instant()) {
        timeline_.WaitUntilUs(end);
    }
    return FT_OK;
}

void SimulatedPod::Receive(std::uint8_t byte, std::uint64_t arrivedUs, std::uint64_t batchEndUs,
                           bool& carriedT) {
    SimFrameParser::Result result = parser_.Feed(byte);
    if (result.kind == SimFrameParser::Kind::Frame) {
        carriedT = carriedT || result.frame.letter == 'T';
        if (result.frame.letter == 'T' &&
            ++tFramesSinceQueueCheck_ > SimPodFirmware::kHostBatchFrames) {
            LogFrame(result.frame.text);
            Deliver(tFramesSinceQueueCheck_ == SimPodFirmware::kHostBatchFrames + 1
                        ? firmware_.RefuseBatch()
                        : SimPodFirmware::Reply{},
                    nullptr, arrivedUs, batchEndUs);
            return;
        }
        Dispatch(result.frame, arrivedUs, batchEndUs);
    } else if (result.kind == SimFrameParser::Kind::Malformed) {
        carriedT = carriedT || result.letter == 'T';
        ++counters_.malformedFrames;
        LogFrame("!bad:" + result.text);
        Deliver(firmware_.HandleMalformed(result.letter), nullptr, arrivedUs, batchEndUs);
    }
}

void SimulatedPod::Dispatch(const SimFrame& frame, std::uint64_t arrivedUs,
                            std::uint64_t batchEndUs) {
    LogFrame(frame.text);
    const int occurrence = ++letterCounts_[static_cast<unsigned char>(frame.letter)];
    const SimPodFirmware::Reply reply = firmware_.Handle(frame);
    // Erase, write and the EEPROM's frames change what a later run finds; the file follows
    // before the reply goes out. Saving is atomic (SimStateFile::Save renames a full copy).
    if (!autosavePath_.empty() && frame.letter != 0 &&
        std::string_view("XWKNYZ?").find(frame.letter) != std::string_view::npos) {
        SaveState(autosavePath_, nullptr);
    }
    Deliver(reply, FaultFor(frame.letter, occurrence), arrivedUs, batchEndUs);
}

void SimulatedPod::Deliver(const SimPodFirmware::Reply& reply, const SimFaults::ReplyFault* fault,
                           std::uint64_t arrivedUs, std::uint64_t batchEndUs) {
    if (reply.objection) {
        for (const char c : reply.bytes) {
            link_.PutReadable(static_cast<std::uint8_t>(c), batchEndUs);
        }
        return;
    }
    std::string bytes = reply.bytes;
    std::uint64_t workUs = reply.workUs;
    if (fault != nullptr) {
        switch (fault->kind) {
            case SimFaults::ReplyKind::Silence:
                bytes.clear();
                break;
            case SimFaults::ReplyKind::WrongByte:
                if (!bytes.empty()) {
                    bytes[0] = static_cast<char>(fault->byte);
                }
                break;
            case SimFaults::ReplyKind::Late:
                workUs += std::uint64_t{fault->lateMs} * 1000;
                break;
            case SimFaults::ReplyKind::Twice:
                bytes += bytes;
                break;
            case SimFaults::ReplyKind::Stray:
                link_.PutReadable(fault->byte, arrivedUs);
                break;
            case SimFaults::ReplyKind::Cut:
                bytes.resize(bytes.size() / 2);
                break;
        }
    }
    // The pod works on one frame at a time; frames that arrive meanwhile wait their turn.
    podBusyUntil_ = std::max(arrivedUs, podBusyUntil_) + workUs;
    link_.SendReply(bytes, podBusyUntil_);
}

const SimFaults::ReplyFault* SimulatedPod::FaultFor(char letter, int occurrence) const {
    for (const SimFaults::ReplyFault& fault : faults_.replies) {
        if (fault.letter == letter && fault.occurrence == occurrence) {
            return &fault;
        }
    }
    return nullptr;
}

void SimulatedPod::LogFrame(std::string text) {
    if (frameLog_.size() < kMaxFrameLog) {
        frameLog_.push_back(std::move(text));
    }
}

FT_STATUS SimulatedPod::FT_Read(FT_HANDLE handle, void* buffer, std::uint32_t count,
                                std::uint32_t* received) {
    if (const FT_STATUS status = Enter(); status != FT_OK) {
        return status;
    }
    if (!Valid(handle)) {
        return FT_INVALID_HANDLE;
    }
    if (received == nullptr || (count > 0 && buffer == nullptr)) {
        return FT_INVALID_PARAMETER;
    }
    ++counters_.reads;
    std::uint64_t now = timeline_.NowUs();
    if (link_.ReadableCount(now) < count && link_.settings.readTimeoutMs > 0) {
        // Blocks like the vendor call: until the bytes are there or the time-out has passed.
        const std::uint64_t deadline = now + std::uint64_t{link_.settings.readTimeoutMs} * 1000;
        const std::optional<std::uint64_t> ready = link_.TimeReadable(count);
        timeline_.WaitUntilUs(ready && *ready <= deadline ? *ready : deadline);
        now = timeline_.NowUs();
    }
    *received =
        static_cast<std::uint32_t>(link_.Take(static_cast<std::uint8_t*>(buffer), count, now));
    return FT_OK;
}

FT_STATUS SimulatedPod::FT_GetStatus(FT_HANDLE handle, std::uint32_t* rxQueue,
                                     std::uint32_t* txQueue, std::uint32_t* eventStatus) {
    if (const FT_STATUS status = Enter(); status != FT_OK) {
        return status;
    }
    if (!Valid(handle)) {
        return FT_INVALID_HANDLE;
    }
    if (rxQueue == nullptr || txQueue == nullptr || eventStatus == nullptr) {
        return FT_INVALID_PARAMETER;
    }
    ++counters_.statusPolls;
    const std::uint64_t now = timeline_.NowUs();
    *rxQueue = static_cast<std::uint32_t>(link_.ReadableCount(now));
    *txQueue = link_.TxPending(now);
    *eventStatus = 0;
    return FT_OK;
}

FT_STATUS SimulatedPod::FT_GetQueueStatus(FT_HANDLE handle, std::uint32_t* rxQueue) {
    if (const FT_STATUS status = Enter(); status != FT_OK) {
        return status;
    }
    if (!Valid(handle)) {
        return FT_INVALID_HANDLE;
    }
    if (rxQueue == nullptr) {
        return FT_INVALID_PARAMETER;
    }
    ++counters_.queuePolls;
    tFramesSinceQueueCheck_ = 0;
    *rxQueue = static_cast<std::uint32_t>(link_.ReadableCount(timeline_.NowUs()));
    return FT_OK;
}

bool SimulatedPod::SaveState(const std::string& path, std::string* error) const {
    return SimStateFile::Save(target_, eeprom_, path, error);
}

bool SimulatedPod::LoadState(const std::string& path, std::string* error) {
    return SimStateFile::Load(path, target_, eeprom_, error);
}

void SimulatedPod::ClearLogs() {
    frameLog_.clear();
    byteLog_.clear();
}

std::string SimulatedPod::OpenedDescription() const {
    return openDescription_;
}

std::uint64_t SimulatedPod::ElapsedUs() {
    return timeline_.NowUs() - startUs_;
}
