#include "ScriptedReply.h"

#include <cmath>

void ScriptedReply::Arrange(char letter, int occurrence, std::size_t length, Arrival arrival) {
    letter_ = letter;
    occurrence_ = occurrence;
    length_ = length;
    arrival_ = arrival;
}

void ScriptedReply::FramesSeen(char letter, int count) {
    if (letter_ != 0 && letter == letter_ && count == occurrence_ && !delivered_) {
        armed_ = true;
    }
}

std::vector<std::uint8_t> ScriptedReply::Lengthened(const std::vector<std::uint8_t>& reply) const {
    std::vector<std::uint8_t> bytes = reply.empty() ? std::vector<std::uint8_t>{'!'} : reply;
    if (bytes.size() < length_) {
        bytes.resize(length_, 0xFF);
    }
    return bytes;
}

void ScriptedReply::TakeOver(const std::vector<std::uint8_t>& reply, std::uint64_t sendUs,
                             double byteUs) {
    armed_ = false;
    delivered_ = true;
    const auto lead = static_cast<std::uint64_t>(std::ceil(kBytesBeforeTimer * byteUs));
    startUs_ = sendUs > lead ? sendUs - lead : 0;
    const std::vector<std::uint8_t> bytes = Lengthened(reply);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        scheduled_.push_back(
            {bytes[i], startUs_ + static_cast<std::uint64_t>(std::llround((i + 1) * byteUs))});
    }
    endUs_ = scheduled_.back().atUs;
}

std::vector<ScriptedReply::TimedByte> ScriptedReply::Due(std::uint64_t nowUs) {
    std::vector<TimedByte> due;
    while (!scheduled_.empty() && scheduled_.front().atUs <= nowUs) {
        due.push_back(scheduled_.front());
        scheduled_.pop_front();
    }
    return due;
}

std::vector<std::uint8_t> ScriptedReply::AtPurge() {
    if (!armed_ || arrival_ != Arrival::AtPurge) {
        return {};
    }
    armed_ = false;
    delivered_ = true;
    return Lengthened({});
}

bool ScriptedReply::Streaming(std::uint64_t atUs) const {
    return delivered_ && arrival_ == Arrival::Streaming && atUs >= startUs_ && atUs < endUs_;
}
