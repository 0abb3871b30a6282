#pragma once

#include <cstddef>
#include <cstdint>

// Follows the host's byte stream and reports each completed frame's command character, so a
// fake pod can answer and a counter can tell which frames wait for a reply.
class FrameScanner {
public:
    // The command character of a frame that ended with this byte, or 0.
    char Feed(std::uint8_t byte);

    // Frames the pod answers with "!" (O answers with its 28-byte record, first byte "!").
    static bool Acknowledged(char letter);
    static constexpr std::size_t kInfoReplySize = 28;

private:
    enum class State { Idle, Letter, Fields };
    State state_ = State::Idle;
    char letter_ = 0;
};
