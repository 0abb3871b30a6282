#include "PodProtocol.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "Clock.h"
#include "PodFrames.h"
#include "PodIndicators.h"
#include "PodInfoRecord.h"
#include "PodLink.h"
#include "SFileImage.h"

using namespace PodFrames;

namespace {

// The pod settles for this long after an identify or a target reset.
constexpr std::uint32_t kSettleMs = 10;

}  // namespace

PodProtocol::PodProtocol(PodLink& link, Clock& clock, const SFileImage& image,
                         PodIndicators& indicators)
    : link_(link), clock_(clock), image_(image), indicators_(indicators) {}

bool PodProtocol::SendFrame(std::uint32_t writeTimeoutMs, const char* format, ...) {
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
    return link_.WriteFrame(frameBuffer_, static_cast<std::uint32_t>(length), writeTimeoutMs);
}

// The host reads the first waiting byte as the reply, so a byte already waiting (a late or
// doubled answer to an earlier frame, noise on the line) would be taken for this command's
// answer and every later command would read its predecessor's.
bool PodProtocol::NothingWaitingBefore(char letter) {
    std::uint32_t waiting = 0;
    if (!link_.ReceiveQueueCount(waiting)) {
        link_.TraceNote(std::string("# receive queue check failed before ") + letter);
        return false;
    }
    if (waiting != 0) {
        link_.TraceNote("# " + std::to_string(waiting) +
                        (waiting == 1 ? " stale byte" : " stale bytes") + " waiting before " +
                        letter);
        return false;
    }
    return true;
}

PodAnswer PodProtocol::AwaitAnswer(std::uint32_t replyTimeoutMs) {
    return AwaitReply(1, replyTimeoutMs);
}

bool PodProtocol::AwaitAck(std::uint32_t replyTimeoutMs) {
    return AwaitAnswer(replyTimeoutMs) == PodAnswer::Acknowledged;
}

// A reply of count bytes whose first is "!"; a first byte other than "!" ends it at once.
PodAnswer PodProtocol::AwaitReply(std::uint32_t count, std::uint32_t replyTimeoutMs) {
    const PodLink::ReplyRead read = link_.ReadReplyBytes(replyBuffer_, count, replyTimeoutMs, true);
    if (read.complete && replyBuffer_[0] == kAck) {
        return PodAnswer::Acknowledged;
    }
    return read.received != 0 && replyBuffer_[0] != kAck ? PodAnswer::Refused : PodAnswer::NoReply;
}

void PodProtocol::StartBatch() {
    batchLength_ = 0;
}

void PodProtocol::AppendWordToBatch(std::uint16_t word) {
    char frame[kTFrameSize + 1];
    std::snprintf(frame, sizeof frame, "%cT%04X%c", kStx, static_cast<unsigned>(word), kEtx);
    // Batches are flushed at 350 bytes, far below the buffer; the check only guards it.
    if (batchLength_ + kTFrameSize < sizeof batch_) {
        std::memcpy(batch_ + batchLength_, frame, kTFrameSize);
        batchLength_ += kTFrameSize;
    }
}

bool PodProtocol::FlushBatch() {
    const std::uint32_t length = static_cast<std::uint32_t>(batchLength_);
    batchLength_ = 0;
    std::uint32_t waiting = 0;
    return link_.WriteFrame(batch_, length, kBatchWriteMs) && link_.ReceiveQueueCount(waiting) &&
           waiting == 0;
}

std::uint8_t PodProtocol::CpuCode() const {
    return static_cast<std::uint8_t>(image_.cpu);
}

std::uint16_t PodProtocol::ProgramRamStart() const {
    return static_cast<std::uint16_t>(image_.map.ProgramRam.start);
}

std::uint16_t PodProtocol::BlockParameter() const {
    return image_.cpu == CpuType::DSP56F801 ? 0x0300 : 0x0400;
}

bool PodProtocol::Identify() {
    if (!SendFrame(kFrameWriteMs, "%cI%c", kStx, kEtx) || !AwaitAck(kQuickReplyMs)) {
        return false;
    }
    clock_.SleepMs(kSettleMs);
    return true;
}

bool PodProtocol::ResetTarget() {
    if (!SendFrame(kFrameWriteMs, "%cR%c", kStx, kEtx) || !AwaitAck(kTargetReplyMs)) {
        return false;
    }
    clock_.SleepMs(kSettleMs);
    return true;
}

bool PodProtocol::EnterDebugMode(std::uint8_t argument) {
    indicators_.ShowStatus("Enter Debug Mode");
    return SendFrame(kFrameWriteMs, "%cG%X%c", kStx, static_cast<unsigned>(argument), kEtx) &&
           AwaitAck(kTargetReplyMs);
}

bool PodProtocol::DownloadFirmware() {
    indicators_.ShowStatus("Firmware Downloading...");
    return SendFrame(kFrameWriteMs, "%cM%X%04X%c", kStx, static_cast<unsigned>(CpuCode()),
                     static_cast<unsigned>(ProgramRamStart()), kEtx) &&
           AwaitAck(kFirmwareReplyMs);
}

bool PodProtocol::StoreImageInfo(bool eraseAllBoot, bool resetAfterWrite) {
    const unsigned options = (eraseAllBoot ? 1u : 0u) + (resetAfterWrite ? 2u : 0u);
    return SendFrame(kFrameWriteMs, "%cZ%X%X%c", kStx, static_cast<unsigned>(CpuCode()), options,
                     kEtx) &&
           AwaitAck(kQuickReplyMs);
}

void PodProtocol::SendAbort() {
    SendFrame(kFrameWriteMs, "%c?%c", kStx, kEtx);
}

bool PodProtocol::QueryInfoRecord(PodInfoRecord& record) {
    if (!SendFrame(kFrameWriteMs, "%cO%c", kStx, kEtx) ||
        AwaitReply(PodInfoRecord::kReplySize, kInfoReplyMs) != PodAnswer::Acknowledged) {
        return false;
    }
    record = PodInfoRecord::Parse(replyBuffer_);
    return true;
}
