#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "UartLine.h"

class EmulatorRecord;
class SimulatedPod;

// The FT232R's serial engine between USB and the simulated programmer: the vendor requests
// that configure it, its two finite buffers, its latency timer, and the UART line to the pod.
// It reads no clock: each call is given the time, in microseconds of the device's clock. In
// instant pace the times are not used and the programmer's own virtual clock jumps to each
// reply instead.
class Ft232rChip {
public:
    static constexpr int kPacketSize = 64;
    static constexpr int kPacketData = kPacketSize - 2;
    // Host-to-line and line-to-host buffers of the FT232R.
    static constexpr std::size_t kTxBuffer = 256;
    static constexpr std::size_t kRxBuffer = 128;

    Ft232rChip(SimulatedPod& pod, bool realTime, EmulatorRecord& record, std::string name);

    // The host claimed the interface (the programmer's side is opened) or released it.
    void Attach();
    void Detach();

    // A vendor request (bmRequestType 0x40 / 0xC0). Returns the bytes of the data stage
    // (0xC0) or -1 for a request the chip stalls.
    int VendorRequest(std::uint8_t request, std::uint16_t value, std::uint16_t index,
                      std::uint8_t* data, int length);

    // Bulk OUT: true when the chip takes the whole transfer, with the time it has taken the
    // last byte in doneUs; false when its buffer stays full (the chip NAKs).
    bool Out(const std::uint8_t* data, int size, std::uint64_t nowUs, std::uint64_t& doneUs);
    // Bulk IN of at most capacity bytes: true with the packets when the chip has sent them
    // by now, with the time it did in sentUs. A packet goes when 62 bytes wait (in instant
    // pace: when anything waits or is on its way), else when the latency timer runs out; in
    // real time that is at the next 1 ms frame.
    bool In(int capacity, std::uint64_t nowUs, std::vector<std::uint8_t>& packets,
            std::uint64_t& sentUs);

    // The letters of the frames the programmer has seen so far, counted.
    int FramesSeen(char letter) const;

private:
    // The vendor requests that do more than answer.
    int Reset(std::uint16_t value);
    int ModemControl(std::uint16_t value);
    int SetFlowControl(std::uint16_t index);
    int SetBaudRate(std::uint16_t value, std::uint16_t index);
    int SetDataCharacteristics(std::uint16_t value);
    int SetLatency(std::uint16_t value);
    int SetBitMode(std::uint16_t value);

    bool LineGood() const;
    bool TxHeld() const;
    void PullFromPod();
    // Bytes the pod sent, as the chip's UART hears them, into the receive buffer: flow
    // control characters act instead of arriving, and what a full buffer has no room for is
    // lost, as on the chip.
    void Receive(std::vector<std::uint8_t> bytes);
    void RecordNewFrames();

    SimulatedPod& pod_;
    bool realTime_;
    EmulatorRecord& record_;
    std::string name_;
    void* podHandle_ = nullptr;

    UartFormat format_;
    FlowControl flow_ = FlowControl::None;
    bool xoffReceived_ = false;
    std::uint8_t latencyMs_ = 16;
    std::uint64_t lastPacketUs_ = 0;
    std::uint64_t txLineFreeUs_ = 0;
    std::size_t heldBytes_ = 0;
    std::deque<std::uint8_t> rx_;
    std::size_t framesRecorded_ = 0;
    int frameCounts_[256] = {};
};
