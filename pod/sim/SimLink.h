#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>

#include "SimTiming.h"

// The serial line between the USB bridge and the pod, and the bridge's receive buffer.
// Bytes take their wire time at the current baud; a reply becomes readable on the host one
// latency period after its last byte arrived, when the bridge flushes its buffer.
class SimLink {
public:
    // The bridge drops bytes beyond this, as a full buffer would.
    static constexpr std::size_t kMaxQueued = 65536;

    struct Settings {
        std::uint32_t baud = SimTiming::kDefaultBaud;
        std::uint8_t dataBits = 8;
        std::uint8_t stopBits = 0;
        std::uint8_t parity = 0;
        std::uint16_t flowControl = 0;
        std::uint8_t latencyMs = SimTiming::kDefaultLatencyMs;
        std::uint32_t readTimeoutMs = SimTiming::kDefaultReadTimeoutMs;
        std::uint32_t writeTimeoutMs = SimTiming::kDefaultWriteTimeoutMs;
        // Whether the host set these since the open, whatever the defaults happen to be.
        bool formatSet = false;
        bool flowControlSet = false;
        bool timeoutsSet = false;
    };

    Settings settings;

    // The pod's UART only makes sense of 921600 baud, 8N1; anything else is noise to it.
    bool PodHears() const;
    // Heard, and set up as the host must: the data format, no flow control and the 200 ms
    // time-outs set explicitly after the open.
    bool SetUpAsTheHostMust() const;
    std::uint64_t WireUs(std::uint64_t bytes) const;

    // Host to pod: the line is busy until the last write has gone out.
    std::uint64_t TxBusyUntil() const { return txBusyUntil_; }
    void SetTxBusyUntil(std::uint64_t t) { txBusyUntil_ = t; }
    std::uint32_t TxPending(std::uint64_t now) const;

    // Pod to host: bytes leave no earlier than t and after whatever is still on the line.
    void SendReply(const std::string& bytes, std::uint64_t t);
    // A byte readable from t on, with no line or latency delay of its own.
    void PutReadable(std::uint8_t byte, std::uint64_t t);

    std::size_t ReadableCount(std::uint64_t now) const;
    // Everything queued towards the host, readable yet or not.
    std::size_t QueuedCount() const { return rx_.size(); }
    // When the first count queued bytes are all readable; nullopt if fewer are queued.
    std::optional<std::uint64_t> TimeReadable(std::size_t count) const;
    std::size_t Take(std::uint8_t* out, std::size_t max, std::uint64_t now);
    // Purge: drops what has arrived; bytes still on the line arrive later.
    void DropArrived(std::uint64_t now);
    void Clear();

private:
    struct QueuedByte {
        std::uint8_t value;
        std::uint64_t readableUs;
    };
    void Push(std::uint8_t byte, std::uint64_t t);

    std::deque<QueuedByte> rx_;
    std::uint64_t txBusyUntil_ = 0;
    std::uint64_t rxLineFree_ = 0;
};
