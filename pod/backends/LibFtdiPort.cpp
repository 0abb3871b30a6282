#include "LibFtdiPort.h"

#include <ftdi.h>
#include <libusb.h>

#include <algorithm>
#include <utility>

namespace {

// A pending transfer's size: what libftdi reads in one go too.
constexpr int kReceiveChunk = 4096;
// The chip's status bytes at the start of every packet; the second is its line status.
constexpr int kStatusBytes = 2;
constexpr std::uint8_t kOverrunBit = 0x02;
constexpr std::uint8_t kFramingErrorBit = 0x08;

// The line format's values are libftdi's own.
static_assert(static_cast<int>(DataBits::Seven) == BITS_7 &&
              static_cast<int>(DataBits::Eight) == BITS_8);
static_assert(static_cast<int>(StopBits::One) == STOP_BIT_1 &&
              static_cast<int>(StopBits::OneAndAHalf) == STOP_BIT_15 &&
              static_cast<int>(StopBits::Two) == STOP_BIT_2);
static_assert(static_cast<int>(Parity::None) == NONE && static_cast<int>(Parity::Odd) == ODD &&
              static_cast<int>(Parity::Even) == EVEN && static_cast<int>(Parity::Mark) == MARK &&
              static_cast<int>(Parity::Space) == SPACE);
static_assert(static_cast<int>(FlowControl::None) == SIO_DISABLE_FLOW_CTRL &&
              static_cast<int>(FlowControl::RtsCts) == SIO_RTS_CTS_HS &&
              static_cast<int>(FlowControl::DtrDsr) == SIO_DTR_DSR_HS &&
              static_cast<int>(FlowControl::XonXoff) == SIO_XON_XOFF_HS);

int UsbErrorOf(int status) {
    switch (status) {
        case LIBUSB_TRANSFER_TIMED_OUT:
            return LIBUSB_ERROR_TIMEOUT;
        case LIBUSB_TRANSFER_NO_DEVICE:
            return LIBUSB_ERROR_NO_DEVICE;
        case LIBUSB_TRANSFER_STALL:
            return LIBUSB_ERROR_PIPE;
        case LIBUSB_TRANSFER_OVERFLOW:
            return LIBUSB_ERROR_OVERFLOW;
        default:
            return LIBUSB_ERROR_IO;
    }
}

}  // namespace

LibFtdiPort::LibFtdiPort(ftdi_context* context, libusb_context* usb, int transfersInFlight)
    : context_(context), usb_(usb) {
    for (int i = 0; i < std::max(transfersInFlight, 1); ++i) {
        receivers_.push_back(std::make_unique<Receiver>());
        receivers_.back()->port = this;
    }
}

LibFtdiPort::~LibFtdiPort() {
    Close();
    ftdi_free(context_);
}

int LibFtdiPort::Reset() {
    const int result = ftdi_usb_reset(context_);
    if (result == 0) {
        DropReceived();
    }
    return result;
}

int LibFtdiPort::GetLatencyTimer(std::uint8_t& ms) {
    unsigned char latency = 0;
    const int result = ftdi_get_latency_timer(context_, &latency);
    ms = latency;
    return result;
}

int LibFtdiPort::SetLatencyTimer(std::uint8_t ms) {
    return ftdi_set_latency_timer(context_, ms);
}

int LibFtdiPort::SetBaudRate(int baud) {
    return ftdi_set_baudrate(context_, baud);
}

int LibFtdiPort::SetLineProperty(DataBits bits, StopBits stopBits, Parity parity) {
    return ftdi_set_line_property(context_, static_cast<ftdi_bits_type>(bits),
                                  static_cast<ftdi_stopbits_type>(stopBits),
                                  static_cast<ftdi_parity_type>(parity));
}

int LibFtdiPort::SetFlowControl(FlowControl flow, std::uint8_t xon, std::uint8_t xoff) {
    if (flow == FlowControl::XonXoff) {
        return ftdi_setflowctrl_xonxoff(context_, xon, xoff);
    }
    return ftdi_setflowctrl(context_, static_cast<int>(flow));
}

void LibFtdiPort::SetUsbTimeouts(int readMs, int writeMs) {
    // libftdi has no setter; the fields are its documented way to change them.
    context_->usb_read_timeout = readMs;
    context_->usb_write_timeout = writeMs;
}

int LibFtdiPort::Flush(bool rx, bool tx) {
    // The tc*flush calls name the queues as the host sees them (the older purge calls
    // had them the other way round).
    int result = 0;
    if (rx && tx) {
        result = ftdi_tcioflush(context_);
    } else {
        result = rx ? ftdi_tciflush(context_) : ftdi_tcoflush(context_);
    }
    if (result == 0 && rx) {
        result = static_cast<int>(DropReceived());
    }
    return result;
}

int LibFtdiPort::Write(const std::uint8_t* data, int size) {
    return ftdi_write_data(context_, data, size);
}

void LibFtdiPort::OnReceived(libusb_transfer* transfer) {
    auto* receiver = static_cast<Receiver*>(transfer->user_data);
    LibFtdiPort& self = *receiver->port;
    receiver->inFlight = false;
    if (self.discarding_) {
        // Whatever it brought had reached the host before the queue was emptied.
        self.discarded_ += self.DataBytes(transfer->actual_length);
        return;
    }
    if (transfer->status == LIBUSB_TRANSFER_CANCELLED) {
        return;
    }
    if (transfer->status != LIBUSB_TRANSFER_COMPLETED) {
        self.receiveError_ = UsbErrorOf(transfer->status);
        self.arrived_ = 1;
        return;
    }
    self.TakeIn(*transfer);
    if (self.open_) {
        self.StartReceiving();
    }
}

int LibFtdiPort::PacketSize() const {
    return std::max(static_cast<int>(context_->max_packet_size), kStatusBytes + 1);
}

std::size_t LibFtdiPort::DataBytes(int length) const {
    const int packets = (length + PacketSize() - 1) / PacketSize();
    return static_cast<std::size_t>(std::max(length - kStatusBytes * packets, 0));
}

void LibFtdiPort::TakeIn(const libusb_transfer& transfer) {
    const int packet = PacketSize();
    for (int at = 0; at < transfer.actual_length; at += packet) {
        const int end = std::min(at + packet, transfer.actual_length);
        if (end - at >= kStatusBytes) {
            // Bytes were lost, or came garbled, before this packet left the chip: nothing
            // read from here on may pass for an answer.
            const std::uint8_t lineStatus = transfer.buffer[at + 1];
            if ((lineStatus & kOverrunBit) != 0) {
                lineError_ = kReceiveOverrun;
                arrived_ = 1;
            } else if ((lineStatus & kFramingErrorBit) != 0 && lineError_ == 0) {
                lineError_ = kReceiveFramingError;
                arrived_ = 1;
            }
        }
        if (end - at > kStatusBytes) {
            received_.insert(received_.end(), transfer.buffer + at + kStatusBytes,
                             transfer.buffer + end);
            arrived_ = 1;
        }
    }
}

int LibFtdiPort::StartReceiving() {
    for (const auto& receiver : receivers_) {
        if (receiver->inFlight) {
            continue;
        }
        if (!receiver->transfer) {
            receiver->transfer = libusb_alloc_transfer(0);
            receiver->buffer.resize(kReceiveChunk);
            if (!receiver->transfer) {
                receiveError_ = LIBUSB_ERROR_NO_MEM;
                return receiveError_;
            }
        }
        // The chip answers within its latency timer, so a transfer that outlasts the read
        // time-out means the device has stopped answering. (libftdi names the endpoints
        // from the chip's side: its "out" endpoint is the one the host reads.)
        libusb_fill_bulk_transfer(
            receiver->transfer, context_->usb_dev, static_cast<unsigned char>(context_->out_ep),
            receiver->buffer.data(), kReceiveChunk, &LibFtdiPort::OnReceived, receiver.get(),
            static_cast<unsigned int>(context_->usb_read_timeout));
        const int result = libusb_submit_transfer(receiver->transfer);
        if (result < 0) {
            receiveError_ = result;
            return result;
        }
        receiver->inFlight = true;
    }
    return 0;
}

bool LibFtdiPort::Receiving() const {
    return std::any_of(receivers_.begin(), receivers_.end(),
                       [](const auto& receiver) { return receiver->inFlight; });
}

void LibFtdiPort::CancelReceiving() {
    for (const auto& receiver : receivers_) {
        if (receiver->inFlight) {
            libusb_cancel_transfer(receiver->transfer);
        }
    }
    // Neither a transfer nor its buffer may be reused or go while it is out: wait until each
    // has come back, cancelled, completed meanwhile or ended by a vanished device (libusb
    // ends every transfer of a device that has gone, so the wait ends then too).
    while (Receiving()) {
        timeval wait{0, 100'000};
        libusb_handle_events_timeout_completed(usb_, &wait, nullptr);
    }
}

std::size_t LibFtdiPort::DropReceived() {
    const bool wasReceiving = Receiving();
    discarding_ = true;
    discarded_ = 0;
    CancelReceiving();
    discarding_ = false;
    const std::size_t thrown = received_.size() + discarded_;
    received_.clear();
    lineError_ = 0;
    if (wasReceiving && open_ && receiveError_ == 0) {
        StartReceiving();
    }
    return thrown;
}

int LibFtdiPort::Read(std::uint8_t* data, int size) {
    if (open_ && !Receiving() && receiveError_ == 0) {
        StartReceiving();
    }
    if (Receiving()) {
        timeval now{0, 0};
        libusb_handle_events_timeout_completed(usb_, &now, nullptr);
    }
    if (lineError_ != 0) {
        const int error = std::exchange(lineError_, 0);
        context_->error_str = error == kReceiveOverrun
                                  ? "bytes from the pod were lost (overrun)"
                                  : "bytes from the pod were garbled (framing error)";
        return error;
    }
    if (received_.empty() && receiveError_ != 0) {
        // As libftdi's own read reports a failed bulk read.
        context_->error_str = "usb bulk read failed";
        return receiveError_;
    }
    const int count = std::min(size, static_cast<int>(received_.size()));
    std::copy_n(received_.begin(), count, data);
    received_.erase(received_.begin(), received_.begin() + count);
    return count;
}

bool LibFtdiPort::AwaitReceive(std::uint32_t ms) {
    if (!Receiving()) {
        return false;
    }
    // Returns when a transfer brings bytes, or on any other event, or after ms.
    arrived_ = 0;
    timeval wait{0, static_cast<suseconds_t>(ms) * 1000};
    libusb_handle_events_timeout_completed(usb_, &wait, &arrived_);
    return true;
}

int LibFtdiPort::Close() {
    if (!open_) {
        return 0;
    }
    open_ = false;
    CancelReceiving();
    for (const auto& receiver : receivers_) {
        if (receiver->transfer) {
            libusb_free_transfer(receiver->transfer);
            receiver->transfer = nullptr;
        }
    }
    // Releases the handle even when the device has gone (and then reports -1).
    return ftdi_usb_close(context_);
}

std::string LibFtdiPort::ErrorString() const {
    const char* text = ftdi_get_error_string(context_);
    return text ? text : "";
}
