#include "Ft232rChip.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "EmulatorRecord.h"
#include "sim/SimulatedPod.h"

namespace {

// FTDI vendor requests (bRequest).
enum : std::uint8_t {
    kReset = 0x00,
    kModemControl = 0x01,
    kFlowControl = 0x02,
    kBaudRate = 0x03,
    kData = 0x04,
    kModemStatus = 0x05,
    kEventChar = 0x06,
    kErrorChar = 0x07,
    kSetLatency = 0x09,
    kGetLatency = 0x0A,
    kBitMode = 0x0B,
    kReadPins = 0x0C,
    kReadEeprom = 0x90,
};
// wValue of kReset: the whole serial engine, or one queue as the chip names them.
constexpr std::uint16_t kResetSio = 0;
constexpr std::uint16_t kPurgeHostToChip = 1;
constexpr std::uint16_t kPurgeChipToHost = 2;

// Modem status: the low nibble reads 1; CTS, DSR, RI and DCD stay low (the pod drives none).
// Line status: transmitter holding register and transmitter empty.
constexpr std::uint8_t kModemStatusByte = 0x01;
constexpr std::uint8_t kLineStatusByte = 0x60;
// What ftdi_sio's probe writes into the latency timer when it takes the device back.
constexpr std::uint8_t kKernelLatencyMs = 16;

constexpr std::uint8_t kXon = 0x11;
constexpr std::uint8_t kXoff = 0x13;

const char* FlowName(FlowControl flow) {
    switch (flow) {
        case FlowControl::None:
            return "none";
        case FlowControl::RtsCts:
            return "rts-cts";
        case FlowControl::DtrDsr:
            return "dtr-dsr";
        case FlowControl::XonXoff:
            return "xon-xoff";
    }
    return "unknown";
}

// A request's data stage: the bytes, or a stall when the host asked for fewer.
int Answer(std::uint8_t* data, int length, std::initializer_list<std::uint8_t> bytes) {
    if (length < static_cast<int>(bytes.size())) {
        return -1;
    }
    std::copy(bytes.begin(), bytes.end(), data);
    return static_cast<int>(bytes.size());
}

}  // namespace

Ft232rChip::Ft232rChip(SimulatedPod& pod, bool realTime, EmulatorRecord& record, std::string name)
    : pod_(pod), realTime_(realTime), record_(record), name_(std::move(name)), in_(realTime) {}

void Ft232rChip::Attach() {
    if (podHandle_ != nullptr) {
        return;
    }
    FT_HANDLE handle = nullptr;
    char description[] = "USB POD";
    if (pod_.FT_OpenEx(description, FT_OPEN_BY_DESCRIPTION, &handle) != FT_OK) {
        record_.Line(name_, "programmer cannot be opened");
        return;
    }
    podHandle_ = handle;
    // The programmer's UART, and the D2XX time-outs its model expects of a host: neither is
    // visible on USB. The chip's own latency timer stands in for the model's.
    const UartFormat line = UartFormat::Pod();
    pod_.FT_SetBaudRate(handle, static_cast<std::uint32_t>(line.baud));
    pod_.FT_SetDataCharacteristics(handle, static_cast<std::uint8_t>(line.dataBits),
                                   static_cast<std::uint8_t>(line.stopBits),
                                   static_cast<std::uint8_t>(line.parity));
    pod_.FT_SetFlowControl(handle, static_cast<std::uint16_t>(FlowControl::None), 0, 0);
    pod_.FT_SetTimeouts(handle, 200, 200);
    pod_.ZeroBridgeLatency();
}

void Ft232rChip::Detach() {
    if (podHandle_ != nullptr) {
        pod_.FT_Close(podHandle_);
        podHandle_ = nullptr;
    }
    in_.Clear();
    heldBytes_ = 0;
}

void Ft232rChip::KernelDriverBound(std::uint64_t nowUs) {
    latencyMs_ = kKernelLatencyMs;
    in_.SetLatencyMs(latencyMs_, nowUs);
    dtr_ = true;
    rts_ = true;
    record_.Line(name_, "ftdi_sio: latency " + std::to_string(latencyMs_) + ", dtr on, rts on");
}

void Ft232rChip::LeaveInBitMode(std::uint8_t mode) {
    bitMode_ = mode;
    record_.Line(name_, "bitmode " + std::to_string(mode) + " (left by another program)");
}

int Ft232rChip::VendorRequest(std::uint8_t request, std::uint16_t value, std::uint16_t index,
                              std::uint8_t* data, int length, std::uint64_t nowUs) {
    switch (request) {
        case kReset:
            return Reset(value, nowUs);
        case kModemControl:
            return ModemControl(value);
        case kFlowControl:
            return SetFlowControl(index);
        case kBaudRate:
            return SetBaudRate(value, index);
        case kData:
            return SetDataCharacteristics(value);
        case kModemStatus:
            return Answer(data, length, {kModemStatusByte, kLineStatusByte});
        case kEventChar:
        case kErrorChar:
            return 0;
        case kSetLatency:
            return SetLatency(value, nowUs);
        case kGetLatency:
            return Answer(data, length, {latencyMs_});
        case kBitMode:
            return SetBitMode(value);
        case kReadPins:
            return Answer(data, length, {0xFF});
        case kReadEeprom:
            return Answer(data, length, {0xFF, 0xFF});
        default:
            return -1;
    }
}

int Ft232rChip::Reset(std::uint16_t value, std::uint64_t nowUs) {
    if (value != kResetSio && value != kPurgeChipToHost && value != kPurgeHostToChip) {
        return -1;
    }
    if (value != kPurgeHostToChip) {
        // What reached the chip before the request goes with the buffer.
        PullFromPod(nowUs);
        ReceiveScripted(nowUs);
        if (const auto late = script_.AtPurge(); value == kPurgeChipToHost && !late.empty()) {
            record_.Line(name_, "late reply of " + std::to_string(late.size()) +
                                    " bytes arrives as the host purges");
            Receive(late, std::vector<std::uint64_t>(late.size(), nowUs));
        }
        in_.Purge(nowUs);
        if (podHandle_ != nullptr) {
            pod_.FT_Purge(podHandle_, FT_PURGE_RX);
        }
    }
    if (value != kPurgeChipToHost) {
        heldBytes_ = 0;
    }
    if (value == kResetSio) {
        // The serial engine's reset also ends flow control and drops DTR and RTS; the rate
        // and the data format stay.
        record_.Line(name_, "reset");
        xoffReceived_ = false;
        if (flow_ != FlowControl::None) {
            flow_ = FlowControl::None;
            record_.Line(name_, "flow none");
        }
        SetModemLines(false, false);
    } else {
        record_.Line(name_, value == kPurgeChipToHost ? "purge rx" : "purge tx");
    }
    return 0;
}

void Ft232rChip::SetModemLines(bool dtr, bool rts) {
    if (dtr != dtr_) {
        record_.Line(name_, std::string("dtr ") + (dtr ? "on" : "off"));
    }
    if (rts != rts_) {
        record_.Line(name_, std::string("rts ") + (rts ? "on" : "off"));
    }
    dtr_ = dtr;
    rts_ = rts;
}

int Ft232rChip::ModemControl(std::uint16_t value) {
    // The high byte says which lines the low byte sets.
    SetModemLines((value & 0x0100) ? (value & 1) != 0 : dtr_,
                  (value & 0x0200) ? (value & 2) != 0 : rts_);
    return 0;
}

int Ft232rChip::SetFlowControl(std::uint16_t index) {
    // The high byte names the handshake, the low byte the interface. A handshake the chip
    // does not know holds nothing back.
    const auto named = FlowControlNamed(index & 0xFF00);
    flow_ = named.value_or(FlowControl::None);
    xoffReceived_ = false;
    record_.Line(name_, std::string("flow ") + (named ? FlowName(*named) : "unknown"));
    return 0;
}

int Ft232rChip::SetBaudRate(std::uint16_t value, std::uint16_t index) {
    format_.baud = DecodeFt232rBaud(value, index);
    const double pod = UartFormat::Pod().baud;
    char text[80];
    std::snprintf(text, sizeof text, "baud %.0f (%.2f %% from 921600)", format_.baud,
                  std::fabs(format_.baud - pod) / pod * 100);
    record_.Line(name_, text);
    return 0;
}

int Ft232rChip::SetDataCharacteristics(std::uint16_t value) {
    // Data bits in the low byte, parity in bits 8-10, stop bits in 11-12, a break at bit 14.
    const auto bits = DataBitsNamed(value & 0xFF);
    const auto parity = ParityNamed((value >> 8) & 7);
    const auto stop = StopBitsNamed((value >> 11) & 3);
    if (!bits || !parity || !stop) {
        return -1;
    }
    format_.dataBits = *bits;
    format_.parity = *parity;
    format_.stopBits = *stop;
    static constexpr char kParityLetters[] = "NOEMS";
    std::string text = "line " + std::to_string(BitCount(*bits)) +
                       kParityLetters[static_cast<int>(*parity)] +
                       (*stop == StopBits::One   ? "1"
                        : *stop == StopBits::Two ? "2"
                                                 : "1.5");
    if (value & 0x4000) {
        text += " break";
    }
    record_.Line(name_, text);
    return 0;
}

int Ft232rChip::SetLatency(std::uint16_t value, std::uint64_t nowUs) {
    if ((value & 0xFF) == 0) {
        return -1;
    }
    latencyMs_ = static_cast<std::uint8_t>(value & 0xFF);
    in_.SetLatencyMs(latencyMs_, nowUs);
    record_.Line(name_, "latency " + std::to_string(latencyMs_));
    return 0;
}

int Ft232rChip::SetBitMode(std::uint16_t value) {
    // The low byte is the pins' direction mask, the high byte the mode; 0 is the UART.
    bitMode_ = static_cast<std::uint8_t>(value >> 8);
    record_.Line(name_, "bitmode " + std::to_string(bitMode_));
    return 0;
}

bool Ft232rChip::LineGood() const {
    const double pod = UartFormat::Pod().baud;
    return std::fabs(format_.baud - pod) <= 0.03 * pod && format_.Is8N1();
}

bool Ft232rChip::TxHeld() const {
    // The pod drives neither CTS nor DSR, so hardware handshaking never lets a byte out;
    // with XON/XOFF the chip stops after an XOFF from the pod.
    return flow_ == FlowControl::RtsCts || flow_ == FlowControl::DtrDsr ||
           (flow_ == FlowControl::XonXoff && xoffReceived_);
}

double Ft232rChip::ByteUs() const {
    return format_.FrameBits() * 1e6 / format_.baud;
}

bool Ft232rChip::Out(const std::uint8_t* data, int size, std::uint64_t nowUs,
                     std::uint64_t& doneUs) {
    doneUs = nowUs;
    if (podHandle_ == nullptr) {
        return true;  // nothing on the line: the bytes go nowhere
    }
    if (bitMode_ != 0) {
        // The pins take the bytes; the UART sends nothing.
        record_.Line(name_, "bitmode " + std::to_string(bitMode_) + ": " + std::to_string(size) +
                                " bytes to the pins");
        return true;
    }
    if (TxHeld()) {
        const std::size_t room = kFromHostBuffer - std::min(heldBytes_, kFromHostBuffer);
        if (static_cast<std::size_t>(size) <= room) {
            heldBytes_ += static_cast<std::size_t>(size);
            return true;
        }
        heldBytes_ = kFromHostBuffer;
        return false;
    }
    std::vector<std::uint8_t> bytes(data, data + size);
    if (!LineGood()) {
        bytes = ResampleLine(bytes, format_, UartFormat::Pod());
    }
    std::uint32_t written = 0;
    if (!bytes.empty()) {
        pod_.FT_Write(podHandle_, bytes.data(), static_cast<std::uint32_t>(bytes.size()), &written);
    }
    RecordNewFrames();
    if (realTime_) {
        // The buffer drains at the line rate; the transfer is taken once its last byte fits.
        txLineFreeUs_ =
            std::max(txLineFreeUs_, nowUs) + static_cast<std::uint64_t>(std::ceil(size * ByteUs()));
        const auto buffered = static_cast<std::uint64_t>(kFromHostBuffer * ByteUs());
        doneUs = txLineFreeUs_ > nowUs + buffered ? txLineFreeUs_ - buffered : nowUs;
    }
    return true;
}

void Ft232rChip::PullFromPod(std::uint64_t nowUs) {
    if (podHandle_ == nullptr) {
        return;
    }
    std::uint32_t waiting = 0;
    if (pod_.FT_GetQueueStatus(podHandle_, &waiting) != FT_OK || waiting == 0) {
        lastPullUs_ = nowUs;
        return;
    }
    std::vector<std::uint8_t> bytes(waiting);
    std::uint32_t got = 0;
    pod_.FT_Read(podHandle_, bytes.data(), waiting, &got);
    bytes.resize(got);
    if (bitMode_ != 0 || bytes.empty()) {
        lastPullUs_ = nowUs;
        return;  // the UART is off: nothing is heard
    }
    if (script_.AwaitsReply()) {
        heldForScript_.insert(heldForScript_.end(), bytes.begin(), bytes.end());
        lastPullUs_ = nowUs;
        return;
    }
    std::vector<std::uint64_t> times(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto back = static_cast<std::uint64_t>(
            std::llround(static_cast<double>(bytes.size() - 1 - i) * PodByteUs()));
        times[i] = std::max(lastPullUs_, nowUs - std::min(nowUs, back));
    }
    Receive(bytes, times);
    lastPullUs_ = nowUs;
}

double Ft232rChip::PodByteUs() {
    return UartFormat::Pod().FrameBits() * 1e6 / UartFormat::Pod().baud;
}

void Ft232rChip::StartScriptedReply(std::uint64_t submitUs) {
    const auto lead =
        static_cast<std::uint64_t>(std::ceil(ScriptedReply::kBytesBeforeTimer * PodByteUs()));
    // The timer has run out already: the first packet goes as soon as there is a transfer.
    std::uint64_t sendUs = submitUs;
    if (const std::uint64_t timerUs = in_.NextTimerUs(); timerUs > submitUs) {
        sendUs = timerUs;
        while (sendUs < submitUs + lead) {
            sendUs += std::uint64_t{latencyMs_} * 1000;
        }
    }
    script_.TakeOver(heldForScript_, sendUs, PodByteUs());
    heldForScript_.clear();
}

void Ft232rChip::Receive(const std::vector<std::uint8_t>& bytes,
                         const std::vector<std::uint64_t>& times) {
    if (!LineGood()) {
        int framingErrors = 0;
        const std::uint64_t atUs = times.empty() ? 0 : times.back();
        for (const std::uint8_t byte :
             ResampleLine(bytes, UartFormat::Pod(), format_, &framingErrors)) {
            in_.Arrive(byte, atUs);
        }
        for (int i = 0; i < framingErrors; ++i) {
            in_.FramingError(atUs);
        }
        return;
    }
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (flow_ == FlowControl::XonXoff && (bytes[i] == kXon || bytes[i] == kXoff)) {
            xoffReceived_ = bytes[i] == kXoff;
        } else {
            in_.Arrive(bytes[i], times[i]);
        }
    }
}

void Ft232rChip::ReceiveScripted(std::uint64_t nowUs) {
    for (const ScriptedReply::TimedByte& byte : script_.Due(nowUs)) {
        in_.Arrive(byte.value, byte.atUs);
    }
}

void Ft232rChip::SubmitIn(std::uint64_t id, int capacity, std::uint64_t nowUs) {
    PullFromPod(nowUs);
    if (!heldForScript_.empty()) {
        StartScriptedReply(nowUs);
    }
    ReceiveScripted(nowUs);
    in_.Submit(id, capacity, nowUs);
}

std::vector<std::uint8_t> Ft232rChip::CancelIn(std::uint64_t id, std::uint64_t nowUs) {
    ReceiveScripted(nowUs);
    PullFromPod(nowUs);
    std::vector<std::uint8_t> packets = in_.Cancel(id, nowUs);
    std::size_t data = 0;
    for (std::size_t at = 0; at < packets.size(); at += kPacketSize) {
        data += std::min<std::size_t>(kPacketSize, packets.size() - at) - 2;
    }
    if (data > 0) {
        record_.Line(name_, "cancelled IN transfer held " + std::to_string(data) + " bytes");
    }
    return packets;
}

std::vector<Ft232rInEndpoint::Completion> Ft232rChip::Advance(std::uint64_t nowUs) {
    ReceiveScripted(nowUs);
    PullFromPod(nowUs);
    if (!realTime_ && in_.TransferPending() && !in_.Waiting() && podHandle_ != nullptr &&
        bitMode_ == 0 && pod_.ReplyOnTheWay()) {
        // Instant pace: the programmer's clock jumps to its next reply.
        std::uint8_t byte = 0;
        std::uint32_t got = 0;
        pod_.FT_Read(podHandle_, &byte, 1, &got);
        if (got == 1) {
            Receive({byte}, {nowUs});
            PullFromPod(nowUs);
        }
    }
    if (!realTime_) {
        in_.SendWaiting(nowUs);
    }
    in_.RunUntil(nowUs);
    RecordFlagged();
    return in_.TakeCompleted();
}

std::uint64_t Ft232rChip::NextEventUs() const {
    return in_.NextSendUs();
}

void Ft232rChip::RecordFlagged() {
    for (const Ft232rInEndpoint::FlaggedPacket& packet : in_.TakeFlagged()) {
        if (packet.lostBytes > 0) {
            record_.Line(name_, "overrun: " + std::to_string(packet.lostBytes) + " bytes lost");
        }
        if (packet.framingErrors > 0) {
            record_.Line(name_, "framing errors: " + std::to_string(packet.framingErrors));
        }
    }
}

void Ft232rChip::RecordNewFrames() {
    const auto& frames = pod_.FrameLog();
    for (; framesRecorded_ < frames.size(); ++framesRecorded_) {
        const std::string& frame = frames[framesRecorded_];
        const char letter = frame.empty() ? '?' : frame[0];
        const int count = ++frameCounts_[static_cast<std::uint8_t>(letter)];
        script_.FramesSeen(letter, count);
        record_.Line(name_, "frame " + (frame.size() <= 8 ? frame : frame.substr(0, 1)));
    }
}

int Ft232rChip::FramesSeen(char letter) const {
    return frameCounts_[static_cast<std::uint8_t>(letter)];
}
