#include "LibFtdiPort.h"

#include <ftdi.h>
#include <libusb.h>

#include <algorithm>

namespace {

// The pending transfer's size: what libftdi reads in one go too.
constexpr int kReceiveChunk = 4096;
// The chip's status bytes at the start of every packet.
constexpr int kStatusBytes = 2;

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
        DropReceived();
    }
    return result;
}

int LibFtdiPort::Write(const std::uint8_t* data, int size) {
    return ftdi_write_data(context_, data, size);
}

void LibFtdiPort::OnReceived(libusb_transfer* transfer) {
    auto* self = static_cast<LibFtdiPort*>(transfer->user_data);
    self->inFlight_ = false;
    if (transfer->status == LIBUSB_TRANSFER_CANCELLED) {
        return;
    }
    if (transfer->status != LIBUSB_TRANSFER_COMPLETED) {
        self->receiveError_ = UsbErrorOf(transfer->status);
        self->arrived_ = 1;
        return;
    }
    const int packet =
        std::max(static_cast<int>(self->context_->max_packet_size), kStatusBytes + 1);
    for (int at = 0; at < transfer->actual_length; at += packet) {
        const int end = std::min(at + packet, transfer->actual_length);
        if (end - at > kStatusBytes) {
            self->received_.insert(self->received_.end(), transfer->buffer + at + kStatusBytes,
                                   transfer->buffer + end);
            self->arrived_ = 1;
        }
    }
    if (self->open_) {
        self->StartReceiving();
    }
}

int LibFtdiPort::StartReceiving() {
    if (!receiving_) {
        receiving_ = libusb_alloc_transfer(0);
        receiveBuffer_.resize(kReceiveChunk);
        if (!receiving_) {
            receiveError_ = LIBUSB_ERROR_NO_MEM;
            return receiveError_;
        }
    }
    // The chip answers within its latency timer, so a transfer that outlasts the read
    // time-out means the device has stopped answering. (libftdi names the endpoints from the
    // chip's side: its "out" endpoint is the one the host reads.)
    libusb_fill_bulk_transfer(receiving_, context_->usb_dev,
                              static_cast<unsigned char>(context_->out_ep), receiveBuffer_.data(),
                              kReceiveChunk, &LibFtdiPort::OnReceived, this,
                              static_cast<unsigned int>(context_->usb_read_timeout));
    const int result = libusb_submit_transfer(receiving_);
    if (result < 0) {
        receiveError_ = result;
        return result;
    }
    inFlight_ = true;
    return 0;
}

void LibFtdiPort::DropReceived() {
    if (inFlight_) {
        timeval now{0, 0};
        libusb_handle_events_timeout_completed(usb_, &now, nullptr);
    }
    received_.clear();
}

int LibFtdiPort::Read(std::uint8_t* data, int size) {
    if (!inFlight_ && receiveError_ == 0) {
        StartReceiving();
    }
    if (inFlight_) {
        timeval now{0, 0};
        libusb_handle_events_timeout_completed(usb_, &now, nullptr);
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
    if (!inFlight_) {
        return false;
    }
    // Returns when the pending transfer brings bytes, or on any other event, or after ms.
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
    if (inFlight_) {
        // Neither the handle nor the transfer's buffer may go while the transfer is out: wait
        // until it has come back, cancelled or ended by a vanished device (libusb ends every
        // transfer of a device that has gone, so the wait ends then too).
        libusb_cancel_transfer(receiving_);
        while (inFlight_) {
            timeval wait{0, 100'000};
            libusb_handle_events_timeout_completed(usb_, &wait, nullptr);
        }
    }
    if (receiving_) {
        libusb_free_transfer(receiving_);
        receiving_ = nullptr;
    }
    // Releases the handle even when the device has gone (and then reports -1).
    return ftdi_usb_close(context_);
}

std::string LibFtdiPort::ErrorString() const {
    const char* text = ftdi_get_error_string(context_);
    return text ? text : "";
}
