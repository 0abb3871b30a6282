#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

// One answer of the pod's line made longer than the programmer's, as a test arranges it: the
// programmer's own bytes (or "!" when it stays silent) followed by 0xFF, as from an EEPROM
// that reads blank, up to the length asked for. It reaches the chip either streaming at the
// line rate, its first bytes just before the first packet the chip sends once the host has
// submitted a transfer (so that they end a transfer while the rest still comes), or all at
// once as the host purges its receive side.
class ScriptedReply {
public:
    enum class Arrival { Streaming, AtPurge };
    // Streaming: the bytes that reach the chip before its latency timer runs out, fewer than
    // the 28 of an info record, so that the host cannot have its answer before the rest.
    static constexpr int kBytesBeforeTimer = 10;
    struct TimedByte {
        std::uint8_t value = 0;
        std::uint64_t atUs = 0;
    };

    // The reply to the occurrence-th frame with this letter, counted from 1.
    void Arrange(char letter, int occurrence, std::size_t length, Arrival arrival);
    // The programmer has seen this many frames with this letter.
    void FramesSeen(char letter, int count);
    // Streaming: whether the programmer's next bytes are the reply to take over.
    bool AwaitsReply() const { return armed_ && arrival_ == Arrival::Streaming; }
    // Takes the programmer's reply over and schedules it at the line rate so that
    // kBytesBeforeTimer of it have arrived at sendUs, when the chip sends its next packet.
    void TakeOver(const std::vector<std::uint8_t>& reply, std::uint64_t sendUs, double byteUs);
    // The scheduled bytes that have arrived by nowUs.
    std::vector<TimedByte> Due(std::uint64_t nowUs);
    // At a receive purge: the whole reply, once armed.
    std::vector<std::uint8_t> AtPurge();
    // Whether the streamed reply is still coming in at atUs.
    bool Streaming(std::uint64_t atUs) const;

private:
    std::vector<std::uint8_t> Lengthened(const std::vector<std::uint8_t>& reply) const;

    char letter_ = 0;
    int occurrence_ = 0;
    std::size_t length_ = 0;
    Arrival arrival_ = Arrival::Streaming;
    bool armed_ = false;
    bool delivered_ = false;
    std::deque<TimedByte> scheduled_;
    std::uint64_t startUs_ = 0;
    std::uint64_t endUs_ = 0;
};
