#include "LibFtdiPort.h"

#include <ftdi.h>

LibFtdiPort::~LibFtdiPort() {
    Close();
    ftdi_free(context_);
}

int LibFtdiPort::Reset() {
    return ftdi_usb_reset(context_);
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

int LibFtdiPort::SetLineProperty(int bits, int stopBits, int parity) {
    return ftdi_set_line_property(context_, static_cast<ftdi_bits_type>(bits),
                                  static_cast<ftdi_stopbits_type>(stopBits),
                                  static_cast<ftdi_parity_type>(parity));
}

int LibFtdiPort::SetFlowControl(int flow, std::uint8_t xon, std::uint8_t xoff) {
    if (flow == SIO_XON_XOFF_HS) {
        return ftdi_setflowctrl_xonxoff(context_, xon, xoff);
    }
    return ftdi_setflowctrl(context_, flow);
}

void LibFtdiPort::SetUsbTimeouts(int readMs, int writeMs) {
    // libftdi has no setter; the fields are its documented way to change them.
    context_->usb_read_timeout = readMs;
    context_->usb_write_timeout = writeMs;
}

int LibFtdiPort::Flush(bool rx, bool tx) {
    // The tc*flush calls name the queues as the host sees them (the older purge calls
    // had them the other way round).
    if (rx && tx) {
        return ftdi_tcioflush(context_);
    }
    return rx ? ftdi_tciflush(context_) : ftdi_tcoflush(context_);
}

int LibFtdiPort::Write(const std::uint8_t* data, int size) {
    return ftdi_write_data(context_, data, size);
}

int LibFtdiPort::Read(std::uint8_t* data, int size) {
    return ftdi_read_data(context_, data, size);
}

int LibFtdiPort::Close() {
    if (!open_) {
        return 0;
    }
    open_ = false;
    // Releases the handle even when the device has gone (and then reports -1).
    return ftdi_usb_close(context_);
}

std::string LibFtdiPort::ErrorString() const {
    const char* text = ftdi_get_error_string(context_);
    return text ? text : "";
}
