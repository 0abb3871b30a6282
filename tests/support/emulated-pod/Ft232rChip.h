#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Ft232rInEndpoint.h"
#include "ScriptedReply.h"
#include "UartLine.h"

class EmulatorRecord;
class SimulatedPod;

// The FT232R's serial engine between USB and the simulated programmer: the vendor requests
// that configure it, its two finite buffers, its latency timer, its modem control lines, its
// bit modes and the UART line to the pod. It reads no clock: each call is given the time, in
// microseconds of the device's clock, and calls come in the order of their times. In instant
// pace the times hardly matter: the programmer's own virtual clock jumps to each reply.
class Ft232rChip {
public:
    static constexpr int kPacketSize = Ft232rInEndpoint::kPacketSize;
    static constexpr int kPacketData = Ft232rInEndpoint::kPacketData;
    // The host-to-line buffer; the line-to-host one is Ft232rInEndpoint::kBuffer.
    static constexpr std::size_t kFromHostBuffer = 128;

    Ft232rChip(SimulatedPod& pod, bool realTime, EmulatorRecord& record, std::string name);

    // The host claimed the interface (the programmer's side is opened) or released it.
    void Attach();
    void Detach();
    // ftdi_sio took the device back: its probe writes the latency timer it keeps, and the
    // system's first open of the serial port raises DTR and RTS.
    void KernelDriverBound(std::uint64_t nowUs);
    // As another program left it: a bit mode on, the UART blocked.
    void LeaveInBitMode(std::uint8_t mode);

    // A vendor request (bmRequestType 0x40 / 0xC0). Returns the bytes of the data stage
    // (0xC0) or -1 for a request the chip stalls.
    int VendorRequest(std::uint8_t request, std::uint16_t value, std::uint16_t index,
                      std::uint8_t* data, int length, std::uint64_t nowUs);

    // Bulk OUT: true when the chip takes the whole transfer, with the time it has taken the
    // last byte in doneUs; false when its buffer stays full (the chip NAKs).
    bool Out(const std::uint8_t* data, int size, std::uint64_t nowUs, std::uint64_t& doneUs);

    // Bulk IN: a transfer of at most capacity bytes the chip fills packet by packet (see
    // Ft232rInEndpoint), and its cancellation, which returns the packets it holds.
    void SubmitIn(std::uint64_t id, int capacity, std::uint64_t nowUs);
    std::vector<std::uint8_t> CancelIn(std::uint64_t id, std::uint64_t nowUs);
    // Runs the chip up to nowUs: what the pod sent comes in, and the transfers that ended.
    std::vector<Ft232rInEndpoint::Completion> Advance(std::uint64_t nowUs);
    // The host's IN transfers the chip holds open now.
    std::size_t TransfersPending() const { return in_.TransfersPending(); }
    // When the chip next does something of its own.
    std::uint64_t NextEventUs() const;

    ScriptedReply& Script() { return script_; }
    // The letters of the frames the programmer has seen so far, counted.
    int FramesSeen(char letter) const;

private:
    // The vendor requests that do more than answer.
    int Reset(std::uint16_t value, std::uint64_t nowUs);
    int ModemControl(std::uint16_t value);
    int SetFlowControl(std::uint16_t index);
    int SetBaudRate(std::uint16_t value, std::uint16_t index);
    int SetDataCharacteristics(std::uint16_t value);
    int SetLatency(std::uint16_t value, std::uint64_t nowUs);
    int SetBitMode(std::uint16_t value);

    void SetModemLines(bool dtr, bool rts);
    bool LineGood() const;
    bool TxHeld() const;
    double ByteUs() const;
    // Bytes the pod sent since the last look, as the chip's UART heard them: back to back at
    // the line rate, the last one now.
    void PullFromPod(std::uint64_t nowUs);
    // Bytes from the pod's line at their times: flow control characters act instead of
    // arriving, and frames a wrongly set UART cannot read set the framing bit.
    void Receive(const std::vector<std::uint8_t>& bytes, const std::vector<std::uint64_t>& times);
    void ReceiveScripted(std::uint64_t nowUs);
    // The scripted streaming reply starts once the host has submitted a transfer, so that
    // its first bytes end that transfer in a short packet.
    void StartScriptedReply(std::uint64_t submitUs);
    static double PodByteUs();
    void RecordFlagged();
    void RecordNewFrames();

    SimulatedPod& pod_;
    bool realTime_;
    EmulatorRecord& record_;
    std::string name_;
    void* podHandle_ = nullptr;

    UartFormat format_;
    FlowControl flow_ = FlowControl::None;
    bool xoffReceived_ = false;
    bool dtr_ = false;
    bool rts_ = false;
    std::uint8_t bitMode_ = 0;
    std::uint8_t latencyMs_ = 16;
    std::uint64_t txLineFreeUs_ = 0;
    std::size_t heldBytes_ = 0;
    std::uint64_t lastPullUs_ = 0;
    Ft232rInEndpoint in_;
    ScriptedReply script_;
    std::vector<std::uint8_t> heldForScript_;
    std::size_t framesRecorded_ = 0;
    int frameCounts_[256] = {};
};
