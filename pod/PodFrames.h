#pragma once

#include <cstddef>
#include <cstdint>

// Framing and time-outs of the pod's command protocol. Every frame is printable ASCII
// between STX and ETX; the pod acknowledges with a single "!".
namespace PodFrames {

inline constexpr int kStx = 0x02;
inline constexpr int kEtx = 0x03;
inline constexpr std::uint8_t kAck = '!';

// Write time-outs: one frame, and one batch of T frames.
inline constexpr std::uint32_t kFrameWriteMs = 200;
inline constexpr std::uint32_t kBatchWriteMs = 1000;

// Reply time-outs: quick commands, commands that work on the target, the firmware download,
// and the flash and EEPROM work of X, W, P/V, N and Q.
inline constexpr std::uint32_t kQuickReplyMs = 200;
inline constexpr std::uint32_t kTargetReplyMs = 1000;
inline constexpr std::uint32_t kFirmwareReplyMs = 2000;
inline constexpr std::uint32_t kFlashReplyMs = 3000;
// The 28-byte reply to O.
inline constexpr std::uint32_t kInfoReplyMs = 1000;

// Commands the pod answers; the receive queue must be empty before each of them.
inline bool ExpectsReply(char letter) {
    switch (letter) {
        case 'I':
        case 'R':
        case 'G':
        case 'M':
        case 'X':
        case 'W':
        case 'P':
        case 'V':
        case 'N':
        case 'Q':
        case 'Y':
        case 'Z':
        case 'O':
            return true;
        default:
            return false;
    }
}

// T frames go out together once the batch text reaches this size (50 frames).
inline constexpr std::size_t kTFrameSize = 7;
inline constexpr std::size_t kBatchFlushSize = 350;

}  // namespace PodFrames
