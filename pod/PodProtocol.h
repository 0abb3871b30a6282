#pragma once

#include <cstddef>
#include <cstdint>

#include "PodAnswer.h"

class Clock;
class PodIndicators;
class PodLink;
class SFileImage;
struct PodInfoRecord;

// The pod's command protocol over the link: frames built from printf-style formats,
// acknowledgements and replies, the batches of T frames that carry the words, and the
// simple commands. CPU code and program-RAM start come from the loaded image.
class PodProtocol {
public:
    static constexpr std::size_t kReplyBufferSize = 400;
    static constexpr std::size_t kFrameBufferSize = 400;

    PodProtocol(PodLink& link, Clock& clock, const SFileImage& image, PodIndicators& indicators);
    PodProtocol(const PodProtocol&) = delete;
    PodProtocol& operator=(const PodProtocol&) = delete;

    // False when the frame did not go out whole, or when a command that expects a reply finds
    // a byte already waiting (see NothingWaitingBefore).
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    bool
    SendFrame(std::uint32_t writeTimeoutMs, const char* format, ...);
    // The one-byte answer to the frame just sent.
    PodAnswer AwaitAnswer(std::uint32_t replyTimeoutMs);
    bool AwaitAck(std::uint32_t replyTimeoutMs);

    // T frames: words are collected into one text and written together (FlushBatch); the
    // pod does not acknowledge them, a byte waiting after a batch is its objection.
    void StartBatch();
    void AppendWordToBatch(std::uint16_t word);
    bool FlushBatch();
    std::size_t BatchLength() const {
        return batchLength_;
    }

    // The simple commands; true when the pod acknowledged with "!".
    bool Identify();
    bool ResetTarget();
    bool EnterDebugMode(std::uint8_t argument);  // 1 before programming, 0 before verify
    bool DownloadFirmware();
    bool StoreImageInfo(bool eraseAllBoot, bool resetAfterWrite);
    void SendAbort();
    // O: the pod's record of its stored image; false when no whole reply came.
    bool QueryInfoRecord(PodInfoRecord& record);

    // Fields that follow from the image's CPU.
    std::uint8_t CpuCode() const;
    std::uint16_t ProgramRamStart() const;
    std::uint16_t BlockParameter() const;

private:
    bool NothingWaitingBefore(char letter);
    PodAnswer AwaitReply(std::uint32_t count, std::uint32_t replyTimeoutMs);

    PodLink& link_;
    Clock& clock_;
    const SFileImage& image_;
    PodIndicators& indicators_;
    std::uint8_t replyBuffer_[kReplyBufferSize] = {};
    char frameBuffer_[kFrameBufferSize] = {};
    char batch_[kFrameBufferSize] = {};
    std::size_t batchLength_ = 0;
};
