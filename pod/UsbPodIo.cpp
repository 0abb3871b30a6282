#include <cstdint>
#include <cstdio>
#include <string>

#include "CUsbPod.h"
#include "Clock.h"
#include "PodFrames.h"
#include "WireTrace.h"

namespace {

// After the last byte of a reply, this much silence ends it.
constexpr std::uint32_t kInterByteSilenceMs = 100;
// A receive queue that keeps reporting bytes which no read delivers is taken for silence
// this long after the silence limit, so a confused device cannot keep a read going.
constexpr std::uint32_t kPhantomQueueGraceMs = 1000;
// The transmit queue is polled without sleeping, as it normally drains within a few
// milliseconds; after this many polls without draining the poll yields for 1 ms, so a
// stuck queue costs little CPU and a virtual clock moves towards the deadline.
constexpr std::uint32_t kTightPollsPerYield = 256;

}  // namespace

bool CUsbPod::WriteFrame(const void* bytes, std::uint32_t length, std::uint32_t timeoutMs) {
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
        Trace('>', data, length, writeStatus != FT_OK ? "FT_Write error" : "short write");
        return false;
    }
    std::uint32_t rxQueue = 0;
    std::uint32_t txQueue = 0;
    std::uint32_t events = 0;
    if (api_->FT_GetStatus(handle_, &rxQueue, &txQueue, &events) != FT_OK) {
        Trace('>', data, length, "FT_GetStatus error");
        return false;
    }
    const std::uint32_t begin = clock_.TickMs();
    std::uint32_t polls = 0;
    while (txQueue != 0 && clock_.TickMs() - begin <= timeoutMs) {
        if (api_->FT_GetStatus(handle_, &rxQueue, &txQueue, &events) != FT_OK) {
            Trace('>', data, length, "FT_GetStatus error");
            return false;
        }
        if (++polls % kTightPollsPerYield == 0 && txQueue != 0) {
            clock_.SleepMs(1);
        }
    }
    Trace('>', data, length, txQueue == 0 ? nullptr : "transmit time-out");
    return txQueue == 0;
}

bool CUsbPod::ReadReply(void* buffer, std::uint32_t count, std::uint32_t timeoutMs) {
    return ReadReplyBytes(static_cast<std::uint8_t*>(buffer), count, timeoutMs, false);
}

// One byte per FT_Read. The first byte may take the caller's time-out, every further byte
// at most kInterByteSilenceMs, both measured from the first empty poll after the last byte.
// stopOnRefusal: a first byte other than "!" ends the read at once (commands only).
bool CUsbPod::ReadReplyBytes(std::uint8_t* buffer, std::uint32_t count, std::uint32_t timeoutMs,
                             bool stopOnRefusal) {
    if (api_ == nullptr || handle_ == nullptr || buffer == nullptr || count > kReplyBufferSize) {
        return false;
    }
    if (count == 0) {
        return true;  // nothing wanted: no byte may be stored anywhere
    }
    std::uint32_t received = 0;
    std::uint32_t silenceLimit = timeoutMs;
    bool timerRunning = false;
    std::uint32_t start = 0;
    std::uint32_t now = 0;
    bool done = false;
    std::uint32_t got = 0;
    const auto succeed = [&] {
        Trace('<', buffer, received, nullptr);
        return true;
    };
    const auto fail = [&](const char* reason) {
        char text[64];
        std::snprintf(text, sizeof text, "%s, %u of %u bytes", reason,
                      static_cast<unsigned>(received), static_cast<unsigned>(count));
        Trace('<', buffer, received, text);
        return false;
    };
    if (api_->FT_Read(handle_, buffer, 1, &got) != FT_OK) {
        return fail("FT_Read error");
    }
    for (;;) {
        if (got != 0) {
            ++received;
            timerRunning = false;
            silenceLimit = kInterByteSilenceMs;
            if (stopOnRefusal && received == 1 && buffer[0] != PodFrames::kAck) {
                Trace('<', buffer, received, "not acknowledged");
                return false;
            }
        } else {
            if (!timerRunning) {
                timerRunning = true;
                start = clock_.TickMs();
                now = start;
            } else {
                now = clock_.TickMs();
            }
            clock_.SleepMs(1);
        }
        std::uint32_t waiting = 0;
        if (api_->FT_GetQueueStatus(handle_, &waiting) != FT_OK) {
            return fail("FT_GetQueueStatus error");
        }
        if (received >= count) {
            done = true;
        }
        const std::uint32_t silent = timerRunning ? now - start : 0;
        if ((waiting == 0 && timerRunning && silent >= silenceLimit) ||
            (timerRunning && silent >= silenceLimit + kPhantomQueueGraceMs)) {
            return done ? succeed() : fail("time-out");
        }
        if (done) {
            return succeed();
        }
        got = 0;
        if (api_->FT_Read(handle_, buffer + received, 1, &got) != FT_OK) {
            return fail("FT_Read error");
        }
    }
}

bool CUsbPod::ReceiveQueueCount(std::uint32_t& waiting) {
    waiting = 0;
    if (api_ == nullptr || handle_ == nullptr) {
        return false;
    }
    return api_->FT_GetQueueStatus(handle_, &waiting) == FT_OK;
}

void CUsbPod::Trace(char direction, const std::uint8_t* bytes, std::size_t count,
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

void CUsbPod::TraceNote(const std::string& note) {
    if (trace_ != nullptr) {
        trace_->Line(note);
    }
}
