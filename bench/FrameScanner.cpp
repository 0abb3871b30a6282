#include "FrameScanner.h"

#include "PodFrames.h"

char FrameScanner::Feed(std::uint8_t byte) {
    if (byte == PodFrames::kStx) {
        state_ = State::Letter;
        return 0;
    }
    switch (state_) {
        case State::Idle:
            return 0;
        case State::Letter:
            letter_ = static_cast<char>(byte);
            state_ = State::Fields;
            return 0;
        case State::Fields:
            if (byte == PodFrames::kEtx) {
                state_ = State::Idle;
                return letter_;
            }
            return 0;
    }
    return 0;
}

bool FrameScanner::Acknowledged(char letter) {
    return PodFrames::ExpectsReply(letter);  // S, T, K, ?, L go unanswered
}
