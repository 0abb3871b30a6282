#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "Clock.h"
#include "D2xxDouble.h"

// A D2XX device whose answers are scripted per written frame, for driving CUsbPod byte by
// byte in virtual time. It records every call and every write, answers each command frame
// with "!" unless told otherwise, and fails any call on request.
//
// Frames are matched by their text after STX ("I", "W05...", "T1234" for a batch that starts
// with that word), so a script can name "the X frame of page 0x78" as "X0A0078".
class ScriptedD2xx : public D2xxDouble {
public:
    explicit ScriptedD2xx(VirtualClock& clock) : clock_(clock) {}

    // --- What the device does ------------------------------------------------------------

    std::vector<std::string> devices{"USB POD"};
    std::uint8_t latencyMs = 16;
    // GetStatus calls after a write before the transmit queue reports empty; -1: never.
    int txDrainPolls = 0;
    // Virtual time an FT_Read with nothing to deliver takes (the device read time-out).
    std::uint32_t emptyReadMs = 200;
    // Bytes GetQueueStatus reports on top of the real ones (a confused device).
    std::uint32_t phantomQueued = 0;
    // FT_Write reports this many bytes written, when set.
    int shortWrite = -1;

    // The reply to frames starting with prefix: every one (occurrence 0) or only the n-th
    // matching one (1-based). delayMs: when the first byte arrives; gapMs: between bytes.
    void ReplyWhen(const std::string& prefix, const std::string& reply, int occurrence = 0,
                   std::uint32_t delayMs = 0, std::uint32_t gapMs = 0) {
        rules_.push_back({prefix, reply, occurrence, delayMs, gapMs, 0});
    }
    // Bytes readable at once, not tied to a frame.
    void Queue(const std::string& bytes, std::uint32_t delayMs = 0, std::uint32_t gapMs = 0) {
        Push(bytes, delayMs, gapMs);
    }

    // Call `name` fails: every time (occurrence 0) or only its n-th call (1-based).
    void FailCall(const std::string& name, int occurrence = 0, FT_STATUS status = FT_IO_ERROR) {
        failures_[name].push_back({occurrence, status});
    }
    // FT_Write fails for frames starting with prefix.
    void FailWriteWhen(const std::string& prefix) { failedWrites_.push_back(prefix); }
    // Every call from the n-th (0-based, counting all calls) on fails: the pod was pulled.
    void FailFromCall(std::size_t n) { failFrom_ = n; }

    // --- What the driver did -------------------------------------------------------------

    std::vector<std::string> calls;                 // every call by name, in order
    std::vector<std::vector<std::uint8_t>> writes;  // the bytes of every FT_Write
    std::string openedDescription;
    std::uint32_t openFlags = 0, baud = 0, readTimeout = 0, writeTimeout = 0, purgeMask = 0;
    std::uint8_t setLatency = 0, wordLength = 0, stopBits = 0, parity = 0;
    std::uint16_t flowControl = 0xFFFF;
    bool isOpen = false;

    // Each write as text, STX and ETX shown as "[" and "]": "[I]", "[T0001][T0002]".
    std::vector<std::string> WriteTexts() const {
        std::vector<std::string> texts;
        for (const auto& bytes : writes) {
            texts.push_back(Text(bytes));
        }
        return texts;
    }
    // Every frame of every write, without STX and ETX, T batches split into single frames.
    std::vector<std::string> Frames() const {
        std::vector<std::string> frames;
        for (const auto& bytes : writes) {
            std::string current;
            for (std::uint8_t b : bytes) {
                if (b == 0x02) {
                    current.clear();
                } else if (b == 0x03) {
                    frames.push_back(current);
                } else {
                    current += static_cast<char>(b);
                }
            }
        }
        return frames;
    }
    // Frames other than T, in order: the conversation without the data words.
    std::vector<std::string> Commands() const {
        std::vector<std::string> commands;
        for (const std::string& frame : Frames()) {
            if (frame.empty() || frame[0] != 'T') {
                commands.push_back(frame);
            }
        }
        return commands;
    }
    // An event of the test's own in the call log (the library's load and free).
    void Note(const std::string& event) { calls.push_back(event); }
    std::size_t CallCount(const std::string& name) const {
        return static_cast<std::size_t>(std::count(calls.begin(), calls.end(), name));
    }
    void ClearRecords() {
        calls.clear();
        counts_.clear();
        writes.clear();
    }

    static std::string Text(const std::vector<std::uint8_t>& bytes) {
        std::string text;
        for (std::uint8_t b : bytes) {
            text += b == 0x02 ? '[' : b == 0x03 ? ']' : static_cast<char>(b);
        }
        return text;
    }

    // --- D2xxApi ---------------------------------------------------------------------------

    FT_STATUS FT_ListDevices(void* arg1, void* arg2, std::uint32_t flags) override {
        if (FT_STATUS s = Enter("FT_ListDevices")) {
            return s;
        }
        if (flags == FT_LIST_NUMBER_ONLY) {
            *static_cast<std::uint32_t*>(arg1) = static_cast<std::uint32_t>(devices.size());
            return FT_OK;
        }
        const auto index = reinterpret_cast<std::uintptr_t>(arg1);
        if (flags != (FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION) || index >= devices.size()) {
            return FT_DEVICE_NOT_FOUND;
        }
        // Like the real call: up to 64 bytes, NUL-terminated only when it fits.
        const std::string& text = devices[index];
        const std::size_t n = std::min<std::size_t>(text.size(), kFtDescriptionSize);
        std::memcpy(arg2, text.data(), n);
        if (n < static_cast<std::size_t>(kFtDescriptionSize)) {
            static_cast<char*>(arg2)[n] = '\0';
        }
        return FT_OK;
    }
    FT_STATUS FT_OpenEx(void* arg, std::uint32_t flags, FT_HANDLE* handle) override {
        if (FT_STATUS s = Enter("FT_OpenEx")) {
            return s;
        }
        openedDescription = static_cast<const char*>(arg);
        openFlags = flags;
        if (std::find(devices.begin(), devices.end(), openedDescription) == devices.end()) {
            return FT_DEVICE_NOT_FOUND;
        }
        *handle = this;
        isOpen = true;
        return FT_OK;
    }
    FT_STATUS FT_ResetDevice(FT_HANDLE h) override { return Simple("FT_ResetDevice", h); }
    FT_STATUS FT_GetLatencyTimer(FT_HANDLE h, std::uint8_t* timerMs) override {
        FT_STATUS s = Simple("FT_GetLatencyTimer", h);
        if (s == FT_OK) {
            *timerMs = latencyMs;
        }
        return s;
    }
    FT_STATUS FT_SetLatencyTimer(FT_HANDLE h, std::uint8_t timerMs) override {
        FT_STATUS s = Simple("FT_SetLatencyTimer", h);
        if (s == FT_OK) {
            setLatency = latencyMs = timerMs;
        }
        return s;
    }
    FT_STATUS FT_SetBaudRate(FT_HANDLE h, std::uint32_t rate) override {
        baud = rate;
        return Simple("FT_SetBaudRate", h);
    }
    FT_STATUS FT_SetDataCharacteristics(FT_HANDLE h, std::uint8_t bits, std::uint8_t stop,
                                        std::uint8_t par) override {
        wordLength = bits;
        stopBits = stop;
        parity = par;
        return Simple("FT_SetDataCharacteristics", h);
    }
    FT_STATUS FT_SetFlowControl(FT_HANDLE h, std::uint16_t flow, std::uint8_t,
                                std::uint8_t) override {
        flowControl = flow;
        return Simple("FT_SetFlowControl", h);
    }
    FT_STATUS FT_SetTimeouts(FT_HANDLE h, std::uint32_t readMs, std::uint32_t writeMs) override {
        readTimeout = readMs;
        writeTimeout = writeMs;
        return Simple("FT_SetTimeouts", h);
    }
    FT_STATUS FT_Purge(FT_HANDLE h, std::uint32_t mask) override {
        purgeMask = mask;
        FT_STATUS s = Simple("FT_Purge", h);
        if (s == FT_OK && (mask & FT_PURGE_RX)) {
            rx_.clear();
        }
        return s;
    }
    FT_STATUS FT_Close(FT_HANDLE h) override {
        FT_STATUS s = Simple("FT_Close", h);
        if (s == FT_OK) {
            isOpen = false;
        }
        return s;
    }
    FT_STATUS FT_Write(FT_HANDLE h, const void* buffer, std::uint32_t count,
                       std::uint32_t* written) override {
        const auto* bytes = static_cast<const std::uint8_t*>(buffer);
        writes.emplace_back(bytes, bytes + count);
        if (FT_STATUS s = Simple("FT_Write", h)) {
            return s;
        }
        const std::string frame = FrameText(writes.back());
        for (const std::string& prefix : failedWrites_) {
            if (frame.compare(0, prefix.size(), prefix) == 0) {
                return FT_IO_ERROR;
            }
        }
        *written = shortWrite >= 0 ? static_cast<std::uint32_t>(shortWrite) : count;
        txPolls_ = txDrainPolls;
        Answer(frame);
        return FT_OK;
    }
    FT_STATUS FT_Read(FT_HANDLE h, void* buffer, std::uint32_t count,
                      std::uint32_t* received) override {
        if (FT_STATUS s = Simple("FT_Read", h)) {
            return s;
        }
        *received = 0;
        auto* out = static_cast<std::uint8_t*>(buffer);
        const std::uint64_t deadline = clock_.NowUs() + std::uint64_t{emptyReadMs} * 1000;
        while (*received < count) {
            if (rx_.empty() || rx_.front().atUs > deadline) {
                if (*received == 0) {
                    Advance(deadline);
                }
                break;
            }
            Advance(rx_.front().atUs);
            out[(*received)++] = rx_.front().value;
            rx_.pop_front();
        }
        return FT_OK;
    }
    FT_STATUS FT_GetStatus(FT_HANDLE h, std::uint32_t* rxQueue, std::uint32_t* txQueue,
                           std::uint32_t* events) override {
        if (FT_STATUS s = Simple("FT_GetStatus", h)) {
            return s;
        }
        *rxQueue = Readable();
        *events = 0;
        if (txPolls_ < 0) {
            *txQueue = 1;
        } else {
            *txQueue = txPolls_ > 0 ? 1 : 0;
            txPolls_ = std::max(txPolls_ - 1, 0);
        }
        return FT_OK;
    }
    FT_STATUS FT_GetQueueStatus(FT_HANDLE h, std::uint32_t* rxQueue) override {
        if (FT_STATUS s = Simple("FT_GetQueueStatus", h)) {
            return s;
        }
        *rxQueue = Readable() + phantomQueued;
        return FT_OK;
    }

private:
    struct Rule {
        std::string prefix;
        std::string reply;
        int occurrence;
        std::uint32_t delayMs;
        std::uint32_t gapMs;
        int seen;
    };
    struct Failure {
        int occurrence;
        FT_STATUS status;
    };
    struct Byte {
        std::uint8_t value;
        std::uint64_t atUs;
    };

    FT_STATUS Enter(const std::string& name) {
        calls.push_back(name);
        const int nth = ++counts_[name];
        if (calls.size() > failFrom_) {
            return FT_IO_ERROR;
        }
        for (const Failure& f : failures_[name]) {
            if (f.occurrence == 0 || f.occurrence == nth) {
                return f.status;
            }
        }
        return FT_OK;
    }
    FT_STATUS Simple(const std::string& name, FT_HANDLE h) {
        if (FT_STATUS s = Enter(name)) {
            return s;
        }
        return h == this && isOpen ? FT_OK : FT_INVALID_HANDLE;
    }

    static std::string FrameText(const std::vector<std::uint8_t>& bytes) {
        std::string text;
        for (std::size_t i = bytes.empty() || bytes[0] != 0x02 ? 0 : 1; i < bytes.size(); ++i) {
            if (bytes[i] == 0x03) {
                break;
            }
            text += static_cast<char>(bytes[i]);
        }
        return text;
    }

    void Answer(const std::string& frame) {
        for (Rule& rule : rules_) {
            if (frame.compare(0, rule.prefix.size(), rule.prefix) == 0) {
                ++rule.seen;
            }
        }
        // Rules added later win over earlier ones.
        for (auto it = rules_.rbegin(); it != rules_.rend(); ++it) {
            if (frame.compare(0, it->prefix.size(), it->prefix) == 0 &&
                (it->occurrence == 0 || it->occurrence == it->seen)) {
                Push(it->reply, it->delayMs, it->gapMs);
                return;
            }
        }
        if (!frame.empty() && std::string("IRGMXWPVNQYZ").find(frame[0]) != std::string::npos) {
            Push("!", 0, 0);
        }
    }
    void Push(const std::string& bytes, std::uint32_t delayMs, std::uint32_t gapMs) {
        std::uint64_t at = clock_.NowUs() + std::uint64_t{delayMs} * 1000;
        for (char c : bytes) {
            rx_.push_back({static_cast<std::uint8_t>(c), at});
            at += std::uint64_t{gapMs} * 1000;
        }
    }
    std::uint32_t Readable() const {
        std::uint32_t n = 0;
        for (const Byte& b : rx_) {
            n += b.atUs <= clock_.NowUs() ? 1 : 0;
        }
        return n;
    }
    void Advance(std::uint64_t toUs) {
        if (toUs > clock_.NowUs()) {
            clock_.AdvanceUs(toUs - clock_.NowUs());
        }
    }

    VirtualClock& clock_;
    std::vector<Rule> rules_;
    std::map<std::string, std::vector<Failure>> failures_;
    std::map<std::string, int> counts_;  // calls per name since the last ClearRecords
    std::vector<std::string> failedWrites_;
    std::size_t failFrom_ = SIZE_MAX;
    std::deque<Byte> rx_;
    int txPolls_ = 0;
};
