#include "SimLink.h"

#include <algorithm>

bool SimLink::PodHears() const {
    return settings.baud == SimTiming::kPodBaud && settings.dataBits == 8 &&
           settings.stopBits == 0 && settings.parity == 0;
}

bool SimLink::SetUpAsTheHostMust() const {
    return PodHears() && settings.formatSet && settings.flowControlSet &&
           settings.flowControl == 0 && settings.timeoutsSet &&
           settings.readTimeoutMs == SimTiming::kHostTimeoutMs &&
           settings.writeTimeoutMs == SimTiming::kHostTimeoutMs;
}

std::uint64_t SimLink::WireUs(std::uint64_t bytes) const {
    return SimTiming::WireUs(bytes, settings.baud);
}

std::uint32_t SimLink::TxPending(std::uint64_t now) const {
    if (now >= txBusyUntil_) {
        return 0;
    }
    // Whole bytes still to go; the last one counts until the line is free.
    const std::uint64_t bytes =
        (txBusyUntil_ - now) * settings.baud / (std::uint64_t{SimTiming::kBitsPerByte} * 1'000'000);
    return static_cast<std::uint32_t>(std::max<std::uint64_t>(bytes, 1));
}

void SimLink::SendReply(const std::string& bytes, std::uint64_t t) {
    if (bytes.empty()) {
        return;
    }
    const std::uint64_t begin = std::max(t, rxLineFree_);
    rxLineFree_ = begin + WireUs(bytes.size());
    const std::uint64_t readable = rxLineFree_ + std::uint64_t{settings.latencyMs} * 1000;
    for (const char c : bytes) {
        Push(static_cast<std::uint8_t>(c), readable);
    }
}

void SimLink::PutReadable(std::uint8_t byte, std::uint64_t t) {
    Push(byte, t);
}

void SimLink::Push(std::uint8_t byte, std::uint64_t t) {
    if (rx_.size() >= kMaxQueued) {
        return;
    }
    // Bytes come out in the order they went in.
    if (!rx_.empty()) {
        t = std::max(t, rx_.back().readableUs);
    }
    rx_.push_back({byte, t});
}

std::size_t SimLink::ReadableCount(std::uint64_t now) const {
    std::size_t n = 0;
    while (n < rx_.size() && rx_[n].readableUs <= now) {
        ++n;
    }
    return n;
}

std::optional<std::uint64_t> SimLink::TimeReadable(std::size_t count) const {
    if (count == 0) {
        return 0;
    }
    if (count > rx_.size()) {
        return std::nullopt;
    }
    return rx_[count - 1].readableUs;
}

std::size_t SimLink::Take(std::uint8_t* out, std::size_t max, std::uint64_t now) {
    std::size_t n = 0;
    while (n < max && !rx_.empty() && rx_.front().readableUs <= now) {
        out[n++] = rx_.front().value;
        rx_.pop_front();
    }
    return n;
}

void SimLink::DropArrived(std::uint64_t now) {
    while (!rx_.empty() && rx_.front().readableUs <= now) {
        rx_.pop_front();
    }
}

void SimLink::Clear() {
    rx_.clear();
}
