#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

// The FT232R's way from its UART to the host: the 256-byte buffer, the latency timer, and the
// bulk IN transfers the host has pending, which the chip fills packet by packet. A transfer
// stays open while full packets go into it, and ends on a short packet (what the latency timer
// found waiting), when it is full, or when the host cancels it; packets already in it stay in
// it whatever happens to the buffer afterwards.
//
// Times are microseconds of the device's clock, given in order: each call first brings the
// endpoint up to its time. In real time the latency timer is looked at once a 1 ms frame; at
// instant pace the chip sends what waits as soon as it is asked (SendWaiting).
class Ft232rInEndpoint {
public:
    static constexpr int kPacketSize = 64;
    static constexpr int kPacketData = kPacketSize - 2;
    static constexpr std::size_t kBuffer = 256;
    // The second status byte: the line status register, whose error bits stay set until a
    // packet has carried them to the host.
    static constexpr std::uint8_t kOverrun = 0x02;
    static constexpr std::uint8_t kFramingError = 0x08;

    struct Completion {
        std::uint64_t id = 0;
        std::vector<std::uint8_t> packets;
        std::uint64_t atUs = 0;
    };
    // A packet that carried an error bit, and what it reports.
    struct FlaggedPacket {
        std::size_t lostBytes = 0;
        int framingErrors = 0;
    };

    explicit Ft232rInEndpoint(bool realTime) : realTime_(realTime) {}

    void SetLatencyMs(std::uint8_t ms, std::uint64_t nowUs);
    // A byte from the UART; lost, and the overrun bit set, when the buffer has no room.
    void Arrive(std::uint8_t byte, std::uint64_t atUs);
    // A frame the UART could not read.
    void FramingError(std::uint64_t atUs);
    void Submit(std::uint64_t id, int capacity, std::uint64_t nowUs);
    // Takes the transfer back from the chip with the packets it already holds.
    std::vector<std::uint8_t> Cancel(std::uint64_t id, std::uint64_t nowUs);
    // Empties the buffer; what is in the transfers stays there.
    void Purge(std::uint64_t nowUs);
    // The host let go of the interface: no transfer, nothing held.
    void Clear();
    void RunUntil(std::uint64_t nowUs);
    // Instant pace: what waits goes now, and ends the transfer it goes into.
    void SendWaiting(std::uint64_t nowUs);

    std::vector<Completion> TakeCompleted();
    std::vector<FlaggedPacket> TakeFlagged();
    // When the latency timer runs out next, and when it sends (never while no transfer is
    // pending).
    std::uint64_t NextTimerUs() const;
    std::uint64_t NextSendUs() const;
    bool TransferPending() const { return !pending_.empty(); }
    std::size_t TransfersPending() const { return pending_.size(); }
    bool Waiting() const { return !buffer_.empty(); }

private:
    struct Pending {
        std::uint64_t id = 0;
        int capacity = 0;
        std::vector<std::uint8_t> packets;
    };

    // When the latency timer next runs out for the front transfer.
    std::uint64_t NextDueUs() const;
    // Whether a run-out at atUs sends nothing at instant pace (see the .cpp).
    bool SkipsIdlePacket(std::uint64_t atUs) const;
    // Full packets while 62 bytes wait and a transfer takes them.
    void SendFull(std::uint64_t atUs);
    void SendPacket(std::size_t count, std::uint64_t atUs);
    void Complete(std::uint64_t atUs);

    bool realTime_;
    std::uint8_t latencyMs_ = 16;
    std::uint64_t lastPacketUs_ = 0;  // the timer's last run-out, or the last packet
    std::uint64_t lastSentUs_ = 0;    // the last packet that went to the host
    std::uint64_t frontSinceUs_ = 0;  // since when the first pending transfer could be filled
    std::deque<std::uint8_t> buffer_;
    std::deque<Pending> pending_;
    std::uint8_t errorBits_ = 0;
    std::size_t lostBytes_ = 0;
    int framingErrors_ = 0;
    std::vector<Completion> completed_;
    std::vector<FlaggedPacket> flagged_;
};
