#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "CUsbPod.h"
#include "Clock.h"
#include "PodFrames.h"
#include "SFileImage.h"

using namespace PodFrames;

namespace {

// The pod settles for this long after an identify or a target reset.
constexpr std::uint32_t kSettleMs = 10;

}  // namespace

bool CUsbPod::SendFrame(std::uint32_t writeTimeoutMs, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(frameBuffer_, sizeof frameBuffer_, format, args);
    va_end(args);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof frameBuffer_) {
        return false;
    }
    if (length > 1 && ExpectsReply(frameBuffer_[1]) && !NothingWaitingBefore(frameBuffer_[1])) {
        return false;
    }
    return WriteFrame(frameBuffer_, static_cast<std::uint32_t>(length), writeTimeoutMs);
}

// The host reads the first waiting byte as the reply, so a byte already waiting (a late or
// doubled answer to an earlier frame, noise on the line) would be taken for this command's
// answer and every later command would read its predecessor's.
bool CUsbPod::NothingWaitingBefore(char letter) {
    std::uint32_t waiting = 0;
    if (!ReceiveQueueCount(waiting)) {
        TraceNote(std::string("# receive queue check failed before ") + letter);
        return false;
    }
    if (waiting != 0) {
        TraceNote("# " + std::to_string(waiting) + (waiting == 1 ? " stale byte" : " stale bytes") +
                  " waiting before " + letter);
        return false;
    }
    return true;
}

bool CUsbPod::AwaitAck(std::uint32_t replyTimeoutMs) {
    return AwaitReply(1, replyTimeoutMs);
}

bool CUsbPod::AwaitReply(std::uint32_t count, std::uint32_t replyTimeoutMs) {
    return ReadReplyBytes(replyBuffer_, count, replyTimeoutMs, true) && replyBuffer_[0] == kAck;
}

void CUsbPod::ShowStatus(const char* text) {
    status_->SetText(text);
    status_->RepaintNow();
}

void CUsbPod::ShowProgress(std::uint32_t position) {
    progress_->SetPos(static_cast<std::int32_t>(position & 0xFFFF));
}

void CUsbPod::ShowRange(std::uint32_t upper) {
    progress_->SetRange(0, static_cast<std::int32_t>(upper));
}

void CUsbPod::AppendWordToBatch(std::uint16_t word) {
    char frame[kTFrameSize + 1];
    std::snprintf(frame, sizeof frame, "%cT%04X%c", kStx, static_cast<unsigned>(word), kEtx);
    // Batches are flushed at 350 bytes, far below the buffer; the check only guards it.
    if (batchLength_ + kTFrameSize < sizeof batch_) {
        std::memcpy(batch_ + batchLength_, frame, kTFrameSize);
        batchLength_ += kTFrameSize;
        batch_[batchLength_] = '\0';
    }
}

// The pod does not acknowledge T frames; a byte in the receive queue after a batch is its
// objection.
bool CUsbPod::FlushBatch() {
    std::memcpy(frameBuffer_, batch_, batchLength_ + 1);
    const std::uint32_t length = static_cast<std::uint32_t>(batchLength_);
    batchLength_ = 0;
    batch_[0] = '\0';
    std::uint32_t waiting = 0;
    return WriteFrame(frameBuffer_, length, kBatchWriteMs) && ReceiveQueueCount(waiting) &&
           waiting == 0;
}

std::uint8_t CUsbPod::CpuCode() const {
    return static_cast<std::uint8_t>(image_.cpu);
}

std::uint16_t CUsbPod::ProgramRamStart() const {
    return static_cast<std::uint16_t>(image_.map.ProgramRam.start);
}

std::uint16_t CUsbPod::BlockParameter() const {
    return image_.cpu == CpuType::DSP56F801 ? 0x0300 : 0x0400;
}

bool CUsbPod::Identify() {
    if (!SendFrame(kFrameWriteMs, "%cI%c", kStx, kEtx) || !AwaitAck(kQuickReplyMs)) {
        return false;
    }
    clock_.SleepMs(kSettleMs);
    return true;
}

bool CUsbPod::ResetTarget() {
    if (!SendFrame(kFrameWriteMs, "%cR%c", kStx, kEtx) || !AwaitAck(kTargetReplyMs)) {
        return false;
    }
    clock_.SleepMs(kSettleMs);
    return true;
}

bool CUsbPod::EnterDebugMode(std::uint8_t argument) {
    ShowStatus("Enter Debug Mode");
    return SendFrame(kFrameWriteMs, "%cG%X%c", kStx, static_cast<unsigned>(argument), kEtx) &&
           AwaitAck(kTargetReplyMs);
}

bool CUsbPod::DownloadFirmware() {
    ShowStatus("Firmware Downloading...");
    return SendFrame(kFrameWriteMs, "%cM%X%04X%c", kStx, static_cast<unsigned>(CpuCode()),
                     static_cast<unsigned>(ProgramRamStart()), kEtx) &&
           AwaitAck(kFirmwareReplyMs);
}

bool CUsbPod::StoreImageInfo(bool eraseAllBoot, bool resetAfterWrite) {
    const unsigned options = (eraseAllBoot ? 1u : 0u) + (resetAfterWrite ? 2u : 0u);
    return SendFrame(kFrameWriteMs, "%cZ%X%X%c", kStx, static_cast<unsigned>(CpuCode()), options,
                     kEtx) &&
           AwaitAck(kQuickReplyMs);
}

void CUsbPod::SendAbort() {
    SendFrame(kFrameWriteMs, "%c?%c", kStx, kEtx);
}
