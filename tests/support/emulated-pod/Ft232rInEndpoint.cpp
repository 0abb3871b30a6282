#include "Ft232rInEndpoint.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace {

// Modem status: the low nibble reads 1; CTS, DSR, RI and DCD stay low (the pod drives none).
// Line status: transmitter holding register and transmitter empty, and the error bits.
constexpr std::uint8_t kModemStatusByte = 0x01;
constexpr std::uint8_t kLineStatusByte = 0x60;

constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();
// At instant pace the latency timer carries no bytes anybody waits for: what waits goes at
// once (SendWaiting). A packet of status bytes alone then only keeps the host's pending
// transfers from timing out (200 ms), so it goes this seldom instead of at every run-out of
// the timer, where each would cost the host a reap and a new submission for nothing. The
// timer keeps its rhythm: a byte that arrives waits for its next run-out as before.
constexpr std::uint64_t kInstantIdlePacketUs = 20'000;

}  // namespace

void Ft232rInEndpoint::SetLatencyMs(std::uint8_t ms, std::uint64_t nowUs) {
    RunUntil(nowUs);
    latencyMs_ = ms;
}

void Ft232rInEndpoint::Arrive(std::uint8_t byte, std::uint64_t atUs) {
    RunUntil(atUs);
    if (buffer_.size() >= kBuffer) {
        ++lostBytes_;
        errorBits_ |= kOverrun;
        return;
    }
    buffer_.push_back(byte);
    SendFull(atUs);
}

void Ft232rInEndpoint::FramingError(std::uint64_t atUs) {
    RunUntil(atUs);
    ++framingErrors_;
    errorBits_ |= kFramingError;
}

void Ft232rInEndpoint::Submit(std::uint64_t id, int capacity, std::uint64_t nowUs) {
    RunUntil(nowUs);
    if (pending_.empty()) {
        frontSinceUs_ = nowUs;
    }
    pending_.push_back({id, capacity, {}});
    SendFull(nowUs);
}

std::vector<std::uint8_t> Ft232rInEndpoint::Cancel(std::uint64_t id, std::uint64_t nowUs) {
    RunUntil(nowUs);
    const auto found = std::find_if(pending_.begin(), pending_.end(),
                                    [id](const Pending& transfer) { return transfer.id == id; });
    if (found == pending_.end()) {
        return {};
    }
    const bool wasFront = found == pending_.begin();
    std::vector<std::uint8_t> packets = std::move(found->packets);
    pending_.erase(found);
    if (wasFront) {
        frontSinceUs_ = nowUs;
        SendFull(nowUs);
    }
    return packets;
}

void Ft232rInEndpoint::Purge(std::uint64_t nowUs) {
    RunUntil(nowUs);
    buffer_.clear();
}

void Ft232rInEndpoint::Clear() {
    pending_.clear();
    buffer_.clear();
    completed_.clear();
    errorBits_ = 0;
    lostBytes_ = 0;
    framingErrors_ = 0;
}

std::uint64_t Ft232rInEndpoint::NextTimerUs() const {
    const std::uint64_t expiry = lastPacketUs_ + std::uint64_t{latencyMs_} * 1000;
    return realTime_ ? (expiry + 999) / 1000 * 1000 : expiry;
}

std::uint64_t Ft232rInEndpoint::NextDueUs() const {
    return pending_.empty() ? kNever : std::max(NextTimerUs(), frontSinceUs_);
}

bool Ft232rInEndpoint::SkipsIdlePacket(std::uint64_t atUs) const {
    return !realTime_ && buffer_.empty() && errorBits_ == 0 &&
           atUs < lastSentUs_ + kInstantIdlePacketUs;
}

std::uint64_t Ft232rInEndpoint::NextSendUs() const {
    std::uint64_t at = NextDueUs();
    if (at != kNever && SkipsIdlePacket(at)) {
        // The first run-out of the timer, in its own rhythm, that sends again.
        const std::uint64_t period = std::max<std::uint64_t>(latencyMs_, 1) * 1000;
        const std::uint64_t due = lastSentUs_ + kInstantIdlePacketUs;
        at += (due - at + period - 1) / period * period;
    }
    return at;
}

void Ft232rInEndpoint::RunUntil(std::uint64_t nowUs) {
    for (std::uint64_t at = NextDueUs(); at <= nowUs; at = NextDueUs()) {
        if (SkipsIdlePacket(at)) {
            lastPacketUs_ = at;  // the timer starts again as if it had sent
            continue;
        }
        SendPacket(std::min<std::size_t>(kPacketData, buffer_.size()), at);
    }
}

void Ft232rInEndpoint::SendWaiting(std::uint64_t nowUs) {
    RunUntil(nowUs);
    if (!pending_.empty() && !buffer_.empty()) {
        SendPacket(std::min<std::size_t>(kPacketData, buffer_.size()), nowUs);
    }
}

void Ft232rInEndpoint::SendFull(std::uint64_t atUs) {
    while (!pending_.empty() && buffer_.size() >= static_cast<std::size_t>(kPacketData)) {
        SendPacket(kPacketData, std::max(atUs, frontSinceUs_));
    }
}

void Ft232rInEndpoint::SendPacket(std::size_t count, std::uint64_t atUs) {
    Pending& transfer = pending_.front();
    transfer.packets.push_back(kModemStatusByte);
    transfer.packets.push_back(static_cast<std::uint8_t>(kLineStatusByte | errorBits_));
    if (errorBits_ != 0) {
        flagged_.push_back({lostBytes_, framingErrors_});
        errorBits_ = 0;
        lostBytes_ = 0;
        framingErrors_ = 0;
    }
    const auto end = buffer_.begin() + static_cast<std::ptrdiff_t>(count);
    transfer.packets.insert(transfer.packets.end(), buffer_.begin(), end);
    buffer_.erase(buffer_.begin(), end);
    lastPacketUs_ = atUs;
    lastSentUs_ = atUs;
    const bool full = static_cast<int>(transfer.packets.size()) + kPacketSize > transfer.capacity;
    if (count < static_cast<std::size_t>(kPacketData) || full) {
        Complete(atUs);
    }
}

void Ft232rInEndpoint::Complete(std::uint64_t atUs) {
    completed_.push_back({pending_.front().id, std::move(pending_.front().packets), atUs});
    pending_.pop_front();
    frontSinceUs_ = atUs;
    SendFull(atUs);
}

std::vector<Ft232rInEndpoint::Completion> Ft232rInEndpoint::TakeCompleted() {
    return std::exchange(completed_, {});
}

std::vector<Ft232rInEndpoint::FlaggedPacket> Ft232rInEndpoint::TakeFlagged() {
    return std::exchange(flagged_, {});
}
