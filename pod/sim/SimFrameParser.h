#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "SimFrame.h"

// Cuts the byte stream the host writes into frames: STX, the command character, the fields,
// ETX. Bytes between frames are noise and dropped. A frame that is cut short by a new STX,
// runs longer than any real frame, or does not match the field widths of its command is
// reported as malformed. Memory stays bounded whatever arrives.
class SimFrameParser {
public:
    // The longest real frame body is W: 1 + 2 + 5 * 4 = 23 characters.
    static constexpr std::size_t kMaxBody = 32;

    enum class Kind { None, Frame, Malformed };
    struct Result {
        Kind kind = Kind::None;
        SimFrame frame;    // Kind::Frame
        char letter = 0;   // Kind::Malformed: the command character, 0 when there was none
        std::string text;  // Kind::Malformed: what arrived, cut at kMaxBody
    };

    // Feeds one byte; the result names the frame this byte completed or spoiled, if any.
    Result Feed(std::uint8_t byte);
    // Forgets a frame in progress.
    void Reset();

    // Checks a frame body (without STX and ETX) against its command's field widths.
    static std::optional<SimFrame> Decode(std::string_view body);

private:
    Result Malformed();

    bool inFrame_ = false;
    bool overflow_ = false;
    std::string body_;
};
