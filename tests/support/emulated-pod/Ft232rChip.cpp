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
    : pod_(pod), realTime_(realTime), record_(record), name_(std::move(name)) {}

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
    rx_.clear();
    heldBytes_ = 0;
}

int Ft232rChip::VendorRequest(std::uint8_t request, std::uint16_t value, std::uint16_t index,
                              std::uint8_t* data, int length) {
    switch (request) {
        case kReset:
            return Reset(value);
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
            return SetLatency(value);
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

int Ft232rChip::Reset(std::uint16_t value) {
    if (value == kResetSio) {
        record_.Line(name_, "reset");
        rx_.clear();
        heldBytes_ = 0;
        xoffReceived_ = false;
    } else if (value == kPurgeChipToHost) {
        record_.Line(name_, "purge rx");
        rx_.clear();
        if (podHandle_ != nullptr) {
            pod_.FT_Purge(podHandle_, FT_PURGE_RX);
        }
    } else if (value == kPurgeHostToChip) {
        record_.Line(name_, "purge tx");
        heldBytes_ = 0;
    } else {
        return -1;
    }
    return 0;
}

int Ft232rChip::ModemControl(std::uint16_t value) {
    if (value & 0x0100) {
        record_.Line(name_, std::string("dtr ") + ((value & 1) ? "on" : "off"));
    }
    if (value & 0x0200) {
        record_.Line(name_, std::string("rts ") + ((value & 2) ? "on" : "off"));
    }
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

int Ft232rChip::SetLatency(std::uint16_t value) {
    if ((value & 0xFF) == 0) {
        return -1;
    }
    latencyMs_ = static_cast<std::uint8_t>(value & 0xFF);
    record_.Line(name_, "latency " + std::to_string(latencyMs_));
    return 0;
}

int Ft232rChip::SetBitMode(std::uint16_t value) {
    record_.Line(name_, "bitmode " + std::to_string(value >> 8));
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

bool Ft232rChip::Out(const std::uint8_t* data, int size, std::uint64_t nowUs,
                     std::uint64_t& doneUs) {
    doneUs = nowUs;
    if (podHandle_ == nullptr) {
        return true;  // nothing on the line: the bytes go nowhere
    }
    if (TxHeld()) {
        const std::size_t room = kTxBuffer - std::min(heldBytes_, kTxBuffer);
        if (static_cast<std::size_t>(size) <= room) {
            heldBytes_ += static_cast<std::size_t>(size);
            return true;
        }
        heldBytes_ = kTxBuffer;
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
        const double byteUs = format_.FrameBits() * 1e6 / format_.baud;
        txLineFreeUs_ =
            std::max(txLineFreeUs_, nowUs) + static_cast<std::uint64_t>(std::ceil(size * byteUs));
        const auto buffered = static_cast<std::uint64_t>(kTxBuffer * byteUs);
        doneUs = txLineFreeUs_ > nowUs + buffered ? txLineFreeUs_ - buffered : nowUs;
    }
    return true;
}

void Ft232rChip::PullFromPod() {
    if (podHandle_ == nullptr) {
        return;
    }
    std::uint32_t waiting = 0;
    if (pod_.FT_GetQueueStatus(podHandle_, &waiting) != FT_OK || waiting == 0) {
        return;
    }
    std::vector<std::uint8_t> bytes(waiting);
    std::uint32_t got = 0;
    pod_.FT_Read(podHandle_, bytes.data(), waiting, &got);
    bytes.resize(got);
    Receive(std::move(bytes));
}

void Ft232rChip::Receive(std::vector<std::uint8_t> bytes) {
    if (!LineGood()) {
        bytes = ResampleLine(bytes, UartFormat::Pod(), format_);
    }
    for (const std::uint8_t byte : bytes) {
        if (flow_ == FlowControl::XonXoff && (byte == kXon || byte == kXoff)) {
            xoffReceived_ = byte == kXoff;
        } else if (rx_.size() < kRxBuffer) {
            rx_.push_back(byte);
        }
    }
}

bool Ft232rChip::In(int capacity, std::uint64_t nowUs, std::vector<std::uint8_t>& packets,
                    std::uint64_t& sentUs) {
    packets.clear();
    PullFromPod();
    if (!realTime_ && rx_.empty() && podHandle_ != nullptr && pod_.ReplyOnTheWay()) {
        // Instant pace: the programmer's clock jumps to its next reply.
        std::uint8_t byte = 0;
        std::uint32_t got = 0;
        pod_.FT_Read(podHandle_, &byte, 1, &got);
        if (got == 1) {
            Receive({byte});
            PullFromPod();
        }
    }
    const std::uint64_t timerUs = lastPacketUs_ + std::uint64_t{latencyMs_} * 1000;
    if (rx_.size() >= static_cast<std::size_t>(kPacketData) || (!realTime_ && !rx_.empty())) {
        sentUs = nowUs;
    } else if (timerUs <= nowUs) {
        // The latency timer is looked at once a frame (start-of-frame) in real time.
        sentUs = realTime_ ? (timerUs + 999) / 1000 * 1000 : timerUs;
        if (sentUs > nowUs) {
            return false;
        }
    } else {
        return false;
    }
    while (static_cast<int>(packets.size()) + kPacketSize <= capacity) {
        const std::size_t n = std::min<std::size_t>(kPacketData, rx_.size());
        packets.push_back(kModemStatusByte);
        packets.push_back(kLineStatusByte);
        packets.insert(packets.end(), rx_.begin(), rx_.begin() + static_cast<std::ptrdiff_t>(n));
        rx_.erase(rx_.begin(), rx_.begin() + static_cast<std::ptrdiff_t>(n));
        // A short packet ends the transfer; in real time a short one waits for the timer.
        if (n < static_cast<std::size_t>(kPacketData) ||
            (realTime_ && rx_.size() < static_cast<std::size_t>(kPacketData))) {
            break;
        }
        PullFromPod();
    }
    lastPacketUs_ = sentUs;
    return true;
}

void Ft232rChip::RecordNewFrames() {
    const auto& frames = pod_.FrameLog();
    for (; framesRecorded_ < frames.size(); ++framesRecorded_) {
        const std::string& frame = frames[framesRecorded_];
        const char letter = frame.empty() ? '?' : frame[0];
        ++frameCounts_[static_cast<std::uint8_t>(letter)];
        record_.Line(name_, "frame " + (frame.size() <= 8 ? frame : frame.substr(0, 1)));
    }
}

int Ft232rChip::FramesSeen(char letter) const {
    return frameCounts_[static_cast<std::uint8_t>(letter)];
}
