#include "BabblingD2xx.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::uint32_t kFrameWriteMs = 200;
constexpr std::uint32_t kBatchWriteMs = 1000;
constexpr std::uint32_t kSilenceGraceMs = 1000;
constexpr std::uint32_t kSettleMs = 10;

struct ReplyRule {
    std::uint32_t bytes;
    std::uint32_t timeoutMs;
};

// Command frames that are answered, with the size of the answer and its time-out.
bool ReplyFor(char letter, ReplyRule& rule) {
    switch (letter) {
        case 'I':
        case 'Y':
        case 'Z':
            rule = {1, 200};
            return true;
        case 'R':
        case 'G':
            rule = {1, 1000};
            return true;
        case 'M':
            rule = {1, 2000};
            return true;
        case 'X':
        case 'W':
        case 'P':
        case 'V':
        case 'N':
        case 'Q':
            rule = {1, 3000};
            return true;
        case 'O':
            rule = {28, 1000};
            return true;
        default:
            return false;
    }
}

bool CarriesWords(char letter) {
    return std::strchr("WPVNQ", letter) != nullptr;
}

}  // namespace

BabblingD2xx::BabblingD2xx(VirtualClock& clock, const std::uint8_t* data, std::size_t size,
                           const std::array<std::uint8_t, 28>& goodInfoReply)
    : clock_(clock), data_(data), size_(size), goodInfoReply_(goodInfoReply) {
    const std::uint8_t early = Next(0xFF);
    if (early < 12) {
        failAtCall_ = early;
    }
}

std::uint8_t BabblingD2xx::Next(std::uint8_t whenUsedUp) {
    return at_ < size_ ? data_[at_++] : whenUsedUp;
}

FT_STATUS BabblingD2xx::Enter(FT_HANDLE handle, bool needsOpen) {
    if (calls_++ == failAtCall_) {
        return FT_IO_ERROR;
    }
    if (needsOpen && (!open_ || handle != this)) {
        return FT_INVALID_HANDLE;
    }
    return FT_OK;
}

FT_STATUS BabblingD2xx::FT_ListDevices(void* arg1, void* arg2, std::uint32_t flags) {
    if (const FT_STATUS s = Enter(nullptr, false)) {
        return s;
    }
    if (flags == FT_LIST_NUMBER_ONLY) {
        *static_cast<std::uint32_t*>(arg1) = 1;
        return FT_OK;
    }
    if (flags != (FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION) || arg1 != nullptr) {
        return FT_DEVICE_NOT_FOUND;
    }
    std::strcpy(static_cast<char*>(arg2), "USB POD");
    return FT_OK;
}

FT_STATUS BabblingD2xx::FT_OpenEx(void* arg, std::uint32_t flags, FT_HANDLE* handle) {
    if (const FT_STATUS s = Enter(nullptr, false)) {
        return s;
    }
    if (flags != FT_OPEN_BY_DESCRIPTION || std::strcmp(static_cast<char*>(arg), "USB POD") != 0) {
        return FT_DEVICE_NOT_FOUND;
    }
    if (open_) {
        return FT_DEVICE_NOT_OPENED;
    }
    open_ = true;
    *handle = this;
    return FT_OK;
}

FT_STATUS BabblingD2xx::FT_ResetDevice(FT_HANDLE handle) {
    return Enter(handle);
}

FT_STATUS BabblingD2xx::FT_GetLatencyTimer(FT_HANDLE handle, std::uint8_t* timerMs) {
    if (const FT_STATUS s = Enter(handle)) {
        return s;
    }
    *timerMs = kLatencyAtPowerUp;
    return FT_OK;
}

FT_STATUS BabblingD2xx::FT_SetLatencyTimer(FT_HANDLE handle, std::uint8_t) {
    return Enter(handle);
}

FT_STATUS BabblingD2xx::FT_SetBaudRate(FT_HANDLE handle, std::uint32_t) {
    return Enter(handle);
}

FT_STATUS BabblingD2xx::FT_SetDataCharacteristics(FT_HANDLE handle, std::uint8_t, std::uint8_t,
                                                  std::uint8_t) {
    return Enter(handle);
}

FT_STATUS BabblingD2xx::FT_SetFlowControl(FT_HANDLE handle, std::uint16_t, std::uint8_t,
                                          std::uint8_t) {
    return Enter(handle);
}

FT_STATUS BabblingD2xx::FT_SetTimeouts(FT_HANDLE handle, std::uint32_t readMs, std::uint32_t) {
    if (const FT_STATUS s = Enter(handle)) {
        return s;
    }
    readTimeoutMs_ = readMs;
    return FT_OK;
}

FT_STATUS BabblingD2xx::FT_Purge(FT_HANDLE handle, std::uint32_t mask) {
    if (const FT_STATUS s = Enter(handle)) {
        return s;
    }
    if ((mask & FT_PURGE_RX) != 0) {
        rx_.clear();
        phantom_ = 0;
    }
    return FT_OK;
}

FT_STATUS BabblingD2xx::FT_Close(FT_HANDLE handle) {
    if (const FT_STATUS s = Enter(handle)) {
        return s;
    }
    if (Next(0xFF) < 8) {
        return FT_IO_ERROR;  // the device stays open, as a failed close leaves it
    }
    open_ = false;
    rx_.clear();
    return FT_OK;
}

FT_STATUS BabblingD2xx::FT_Write(FT_HANDLE handle, const void* buffer, std::uint32_t count,
                                 std::uint32_t* written) {
    if (const FT_STATUS s = Enter(handle)) {
        return s;
    }
    Write write;
    write.bytes = count;
    write.firstFrame = frames_.size();
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    write.letter = count >= 2 ? static_cast<char>(bytes[1]) : 0;
    phantom_ = 0;
    statusError_ = false;
    const std::uint8_t how = Next(0xFF);
    if (how == 0 || (how == 1 && count > 0)) {
        writes_.push_back(write);
        if (how == 0) {
            return FT_IO_ERROR;
        }
        *written = count - 1;
        return FT_OK;
    }
    txPending_ = how == 3 ? -1 : how == 4 ? Next(0) : 0;
    statusError_ = how == 2;
    write.whole = true;
    *written = count;
    Receive(bytes, count);
    write.frameCount = frames_.size() - write.firstFrame;
    write.tBatch = write.frameCount > 0 && frames_[write.firstFrame].frame.letter == 'T';
    writes_.push_back(write);

    if (write.tBatch) {
        const std::uint8_t objection = Next(0);
        if (objection >= 224 && objection < 248) {
            Push(std::vector<std::uint8_t>(objection - 223u, '?'), clock_.NowUs(), 0);
        } else if (objection >= 248 && objection < 252) {
            phantom_ = 1 + Next(0) % 8u;
        } else if (objection >= 252) {
            queueError_ = true;
        }
    } else if (write.frameCount > 0) {
        Answer(frames_.back());
    }
    return FT_OK;
}

void BabblingD2xx::Receive(const std::uint8_t* bytes, std::uint32_t count) {
    for (std::uint32_t i = 0; i < count; ++i) {
        SimFrameParser::Result result = parser_.Feed(bytes[i]);
        if (result.kind == SimFrameParser::Kind::Malformed) {
            malformed_ = true;
            continue;
        }
        if (result.kind != SimFrameParser::Kind::Frame) {
            continue;
        }
        Frame frame;
        frame.frame = result.frame;
        ReplyRule rule;
        frame.expectsReply = ReplyFor(frame.frame.letter, rule);
        const char letter = frame.frame.letter;
        if (letter == 'S') {
            collected_.clear();
        } else if (letter == 'T') {
            collected_.push_back(static_cast<std::uint16_t>(frame.frame.Field(0)));
        } else if (CarriesWords(letter)) {
            frame.words = collected_;
        }
        frames_.push_back(std::move(frame));
    }
}

void BabblingD2xx::Answer(const Frame& frame) {
    std::vector<std::uint8_t> reply;
    if (frame.expectsReply) {
        if (frame.frame.letter == 'O') {
            reply.assign(goodInfoReply_.begin(), goodInfoReply_.end());
        } else {
            reply.push_back('!');
        }
    }
    const std::uint64_t now = clock_.NowUs();
    const std::uint8_t how = Next(0);
    if (how < 192) {
        Push(reply, now, 0);
    } else if (how < 204) {
        // silence
    } else if (how < 216) {
        if (reply.empty()) {
            reply.push_back(0);
        }
        reply[0] = Next(0);
        Push(reply, now, 0);
    } else if (how < 224) {
        for (int extra = Next(0) % 8; extra > 0; --extra) {
            reply.push_back(Next(0));
        }
        Push(reply, now, 0);
    } else if (how < 232) {
        reply.clear();
        for (int n = Next(0) % 40; n > 0; --n) {
            reply.push_back(Next(0));
        }
        Push(reply, now, 0);
    } else if (how < 240) {
        Push(reply, now + std::uint64_t{Next(0)} * 16'000, 0);
    } else if (how < 244) {
        const std::uint64_t gap = std::uint64_t{Next(0)} * 2'000;
        Push(reply, now + gap, gap);
    } else {
        readError_ = how < 248;
        queueError_ = how >= 248 && how < 252;
        phantom_ = how >= 252 ? Next(0) : 0;
        Push(reply, now, 0);
    }
}

void BabblingD2xx::Push(const std::vector<std::uint8_t>& bytes, std::uint64_t firstUs,
                        std::uint64_t gapUs) {
    std::uint64_t at = firstUs;
    for (const std::uint8_t b : bytes) {
        rx_.push_back({b, std::max(at, rx_.empty() ? 0 : rx_.back().readyUs)});
        at += gapUs;
    }
}

std::uint32_t BabblingD2xx::Readable() const {
    std::uint32_t n = 0;
    for (const Byte& b : rx_) {
        n += b.readyUs <= clock_.NowUs() ? 1 : 0;
    }
    return n;
}

FT_STATUS BabblingD2xx::FT_Read(FT_HANDLE handle, void* buffer, std::uint32_t count,
                                std::uint32_t* received) {
    if (const FT_STATUS s = Enter(handle)) {
        return s;
    }
    if (readError_) {
        readError_ = false;
        return FT_IO_ERROR;
    }
    *received = 0;
    auto* out = static_cast<std::uint8_t*>(buffer);
    const std::uint64_t deadline = clock_.NowUs() + std::uint64_t{readTimeoutMs_} * 1000;
    while (*received < count) {
        if (rx_.empty() || rx_.front().readyUs > deadline) {
            if (*received == 0 && deadline > clock_.NowUs()) {
                clock_.AdvanceUs(deadline - clock_.NowUs());
            }
            break;
        }
        if (rx_.front().readyUs > clock_.NowUs()) {
            clock_.AdvanceUs(rx_.front().readyUs - clock_.NowUs());
        }
        const std::uint8_t byte = rx_.front().value;
        rx_.pop_front();
        out[(*received)++] = byte;
        if (!writes_.empty() && writes_.back().frameCount > 0) {
            Frame& last = frames_[writes_.back().firstFrame + writes_.back().frameCount - 1];
            last.reply.push_back(byte);
            if (last.reply.size() == 1) {
                last.acknowledged = byte == '!';
            }
        }
    }
    return FT_OK;
}

FT_STATUS BabblingD2xx::FT_GetStatus(FT_HANDLE handle, std::uint32_t* rxQueue,
                                     std::uint32_t* txQueue, std::uint32_t* eventStatus) {
    if (const FT_STATUS s = Enter(handle)) {
        return s;
    }
    if (statusError_) {
        statusError_ = false;
        return FT_IO_ERROR;
    }
    *rxQueue = Readable();
    *eventStatus = 0;
    if (txPending_ != 0) {
        *txQueue = 1;
        txPending_ = txPending_ > 0 ? txPending_ - 1 : txPending_;
        clock_.AdvanceUs(kPollUs);
        return FT_OK;
    }
    *txQueue = 0;
    if (!writes_.empty()) {
        writes_.back().drained = true;
    }
    return FT_OK;
}

FT_STATUS BabblingD2xx::FT_GetQueueStatus(FT_HANDLE handle, std::uint32_t* rxQueue) {
    if (const FT_STATUS s = Enter(handle)) {
        return s;
    }
    const bool failed = queueError_;
    queueError_ = false;
    if (!failed) {
        *rxQueue = Readable() + phantom_;
    }
    if (!writes_.empty() && !writes_.back().queuePolled) {
        writes_.back().queuePolled = true;
        writes_.back().queueChecked = !failed && *rxQueue == 0;
    }
    return failed ? FT_IO_ERROR : FT_OK;
}

std::uint64_t BabblingD2xx::TimeBoundUs() const {
    std::uint64_t boundMs = 0;
    for (const Write& write : writes_) {
        boundMs += (write.tBatch ? kBatchWriteMs : kFrameWriteMs) + 2;
    }
    for (const Frame& frame : frames_) {
        ReplyRule rule;
        if (!ReplyFor(frame.frame.letter, rule)) {
            continue;
        }
        boundMs += rule.bytes * (rule.timeoutMs + kSilenceGraceMs + 2 * readTimeoutMs_ + 2);
        if (frame.frame.letter == 'I' || frame.frame.letter == 'R') {
            boundMs += kSettleMs;
        }
    }
    return boundMs * 1000;
}
