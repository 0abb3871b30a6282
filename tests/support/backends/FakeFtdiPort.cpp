#include "FakeFtdiPort.h"

#include <algorithm>

int FakeFtdiPort::Control(FT_STATUS status, const char* what) {
    ++record_.otherCalls;
    if (status == FT_OK) {
        return 0;
    }
    error_ = what;
    return -1;
}

int FakeFtdiPort::Reset() {
    return Control(device_.FT_ResetDevice(handle_), "reset failed");
}

int FakeFtdiPort::GetLatencyTimer(std::uint8_t& ms) {
    return Control(device_.FT_GetLatencyTimer(handle_, &ms), "reading latency timer failed");
}

int FakeFtdiPort::SetLatencyTimer(std::uint8_t ms) {
    return Control(device_.FT_SetLatencyTimer(handle_, ms), "unable to set latency timer");
}

int FakeFtdiPort::SetBaudRate(int baud) {
    return Control(device_.FT_SetBaudRate(handle_, static_cast<std::uint32_t>(baud)),
                   "setting new baudrate failed");
}

int FakeFtdiPort::SetLineProperty(DataBits bits, StopBits stopBits, Parity parity) {
    return Control(device_.FT_SetDataCharacteristics(handle_, static_cast<std::uint8_t>(bits),
                                                     static_cast<std::uint8_t>(stopBits),
                                                     static_cast<std::uint8_t>(parity)),
                   "setting new line property failed");
}

int FakeFtdiPort::SetFlowControl(FlowControl flow, std::uint8_t xon, std::uint8_t xoff) {
    return Control(device_.FT_SetFlowControl(handle_, static_cast<std::uint16_t>(flow), xon, xoff),
                   "set flow control failed");
}

void FakeFtdiPort::SetUsbTimeouts(int readMs, int writeMs) {
    ++record_.otherCalls;
    record_.usbReadTimeoutMs = readMs;
    record_.usbWriteTimeoutMs = writeMs;
    // What libftdi keeps on the host side the D2XX device keeps in the chip: the simulated
    // pod checks the host set them.
    device_.FT_SetTimeouts(handle_, static_cast<std::uint32_t>(readMs),
                           static_cast<std::uint32_t>(writeMs));
}

int FakeFtdiPort::Flush(bool rx, bool tx) {
    const std::uint32_t mask = (rx ? FT_PURGE_RX : 0) | (tx ? FT_PURGE_TX : 0);
    return Control(device_.FT_Purge(handle_, mask), "flushing failed");
}

int FakeFtdiPort::Write(const std::uint8_t* data, int size) {
    ++record_.otherCalls;
    std::uint32_t written = 0;
    if (device_.FT_Write(handle_, data, static_cast<std::uint32_t>(size), &written) != FT_OK) {
        error_ = "usb bulk write failed";
        return -1;
    }
    return static_cast<int>(written);
}

int FakeFtdiPort::Read(std::uint8_t* data, int size) {
    ++record_.readCalls;
    std::uint32_t waiting = 0;
    if (device_.FT_GetQueueStatus(handle_, &waiting) != FT_OK) {
        error_ = "usb bulk read failed";
        return kUsbErrorNoDevice;
    }
    // Pieces of 0 to 5 bytes: a poll often comes back empty even with data on the way.
    const auto piece = static_cast<std::uint32_t>(pieces_() % 6);
    const std::uint32_t wanted =
        std::min({piece, waiting, static_cast<std::uint32_t>(std::max(size, 0))});
    if (wanted == 0) {
        ++record_.emptyReads;
        return 0;
    }
    std::uint32_t received = 0;
    if (device_.FT_Read(handle_, data, wanted, &received) != FT_OK) {
        error_ = "usb bulk read failed";
        return kUsbErrorNoDevice;
    }
    return static_cast<int>(received);
}

int FakeFtdiPort::Close() {
    ++record_.closes;
    return Control(device_.FT_Close(handle_), "usb_release failed");
}
