#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "Clock.h"
#include "D2xxDouble.h"
#include "sim/SimFrame.h"
#include "sim/SimFrameParser.h"

// A pod whose every answer comes from fuzz input: per written frame one byte decides how
// the write goes (error, short, a transmit queue that never drains) and one byte what the
// pod answers (the acknowledgement, silence, a wrong byte, extra bytes, late or slow bytes,
// read and queue errors, queue counts with nothing behind them); after each T batch one byte
// decides whether the pod objects. Once the input is used up the pod behaves. Time is
// virtual: an empty read costs the device read time-out, a transmit poll 100 us.
//
// It keeps what the host can know for sure: which command frames had "!" as the first byte
// the host read back, which T batches the host saw an empty receive queue after, and the
// words collected since the last S for each W, P, V, N and Q frame.
class BabblingD2xx final : public D2xxDouble {
public:
    struct Frame {
        SimFrame frame;
        bool expectsReply = false;
        bool acknowledged = false;         // the first byte read back after it was "!"
        std::vector<std::uint8_t> reply;   // what the host read before its next write
        std::vector<std::uint16_t> words;  // collected since S (W, P, V, N, Q only)
    };
    struct Write {
        std::size_t firstFrame = 0;  // index into Frames()
        std::size_t frameCount = 0;
        std::uint32_t bytes = 0;
        char letter = 0;  // of the first frame, whether the pod took the bytes or not
        bool tBatch = false;
        bool whole = false;         // accepted in full
        bool drained = false;       // a status poll saw the transmit queue empty
        bool queueChecked = false;  // the next queue poll succeeded and showed nothing waiting
        bool queuePolled = false;
    };

    static constexpr std::uint32_t kPollUs = 100;

    BabblingD2xx(VirtualClock& clock, const std::uint8_t* data, std::size_t size,
                 const std::array<std::uint8_t, 28>& goodInfoReply);

    FT_STATUS FT_ListDevices(void* arg1, void* arg2, std::uint32_t flags) override;
    FT_STATUS FT_OpenEx(void* arg, std::uint32_t flags, FT_HANDLE* handle) override;
    FT_STATUS FT_ResetDevice(FT_HANDLE handle) override;
    FT_STATUS FT_GetLatencyTimer(FT_HANDLE handle, std::uint8_t* timerMs) override;
    FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, std::uint8_t timerMs) override;
    FT_STATUS FT_SetBaudRate(FT_HANDLE handle, std::uint32_t baud) override;
    FT_STATUS FT_SetDataCharacteristics(FT_HANDLE handle, std::uint8_t wordLength,
                                        std::uint8_t stopBits, std::uint8_t parity) override;
    FT_STATUS FT_SetFlowControl(FT_HANDLE handle, std::uint16_t flowControl, std::uint8_t xon,
                                std::uint8_t xoff) override;
    FT_STATUS FT_SetTimeouts(FT_HANDLE handle, std::uint32_t readMs,
                             std::uint32_t writeMs) override;
    FT_STATUS FT_Purge(FT_HANDLE handle, std::uint32_t mask) override;
    FT_STATUS FT_Close(FT_HANDLE handle) override;
    FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, std::uint32_t count,
                       std::uint32_t* written) override;
    FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, std::uint32_t count,
                      std::uint32_t* received) override;
    FT_STATUS FT_GetStatus(FT_HANDLE handle, std::uint32_t* rxQueue, std::uint32_t* txQueue,
                           std::uint32_t* eventStatus) override;
    FT_STATUS FT_GetQueueStatus(FT_HANDLE handle, std::uint32_t* rxQueue) override;

    const std::vector<Frame>& Frames() const { return frames_; }
    const std::vector<Write>& Writes() const { return writes_; }
    bool IsOpen() const { return open_; }
    bool SawMalformedFrame() const { return malformed_; }
    // The longest the host may take for everything written so far: per write its write
    // time-out, per command frame its reply time-out for each reply byte plus the silence
    // grace and two device reads, and the settling time after I and R.
    std::uint64_t TimeBoundUs() const;

private:
    struct Byte {
        std::uint8_t value;
        std::uint64_t readyUs;
    };

    std::uint8_t Next(std::uint8_t whenUsedUp);
    FT_STATUS Enter(FT_HANDLE handle, bool needsOpen = true);
    void Receive(const std::uint8_t* bytes, std::uint32_t count);
    void Answer(const Frame& frame);
    void Push(const std::vector<std::uint8_t>& bytes, std::uint64_t firstUs, std::uint64_t gapUs);
    std::uint32_t Readable() const;

    VirtualClock& clock_;
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
    std::array<std::uint8_t, 28> goodInfoReply_;

    int calls_ = 0;
    int failAtCall_ = -1;  // one early call (opening, configuring) fails
    bool open_ = false;
    std::uint32_t readTimeoutMs_ = 200;
    SimFrameParser parser_;
    bool malformed_ = false;
    std::vector<std::uint16_t> collected_;
    std::vector<Frame> frames_;
    std::vector<Write> writes_;
    std::deque<Byte> rx_;
    // Scripted troubles, each for the next call of its kind.
    int txPending_ = 0;  // status polls until the transmit queue drains; -1 never
    bool statusError_ = false;
    bool readError_ = false;
    bool queueError_ = false;
    std::uint32_t phantom_ = 0;
};
