#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "D2xxApi.h"
#include "SimCounters.h"
#include "SimEeprom.h"
#include "SimFaults.h"
#include "SimFill.h"
#include "SimFrameParser.h"
#include "SimLink.h"
#include "SimPodFirmware.h"
#include "SimTarget.h"
#include "SimTimeline.h"

class Clock;
class VirtualClock;

enum class SimPace {
    Instant,   // the pod moves a virtual clock itself: a whole image programs in no real time
    RealTime,  // replies come when they would from a real pod; reads sleep on the clock
};

// A behavioural model of the USB programming pod under the D2XX calls. The host driver talks
// to it exactly as to the vendor library: it lists and opens the device, configures the
// bridge, writes command frames and reads the pod's replies, with the wire, latency and
// working times a real pod takes. Behind it sit the target board (SimTarget) and the pod's
// EEPROM (SimEeprom); SimPodFirmware decides what each frame does and what the pod answers.
//
// Wire behaviour:
// - FT_Write hands the bytes to the pod as they would arrive, one wire time per byte; the
//   pod works on each completed frame in turn. In instant pace the call advances the clock
//   by the write's wire time and the transmit queue is empty when it returns; in real-time
//   pace FT_GetStatus reports bytes in the transmit queue until their wire time has passed.
// - A reply is readable one latency period after its last byte reached the bridge. An
//   objection during a T stream is readable when the batch has gone out, so the host's
//   queue check right after the batch sees it.
// - FT_Read returns as soon as the wanted bytes are readable, or after the read time-out
//   with what is there (instant pace: the virtual clock jumps; real time: 1 ms sleeps).
//   A read time-out of 0 returns at once.
// - The pod hears only 921600 baud, 8N1; every open starts at 9600 baud, the default
//   time-outs and the latency timer of SimFaults::initialLatencyMs. Bytes written before the
//   host has set the baud rate, data format, flow control and time-outs it must are not
//   answered (SimCounters::linkRefusals).
// - More than 50 T frames without an FT_GetQueueStatus in between make the pod object.
// - One device can be open at a time; close drops what waits in the receive queue.
class SimulatedPod final : public D2xxApi {
public:
    // Logs keep at most this many entries / bytes; later ones are counted, not kept.
    static constexpr std::size_t kMaxFrameLog = 1 << 18;
    static constexpr std::size_t kMaxByteLog = 1 << 22;
    static constexpr const char* kPodDescription = "USB POD";

    // Instant pace by default; RealTime on a virtual clock lets tests run the real-time
    // path deterministically (its 1 ms sleeps advance the clock).
    explicit SimulatedPod(VirtualClock& clock, SimPace pace = SimPace::Instant,
                          const SimFill& fill = {});
    // Real-time pace, e.g. on the SteadyClock for "--simulate".
    explicit SimulatedPod(Clock& clock, const SimFill& fill = {});

    // Target memory and EEPROM as a new pod and board hold them (see SimFill).
    void Fill(const SimFill& fill);

    // --- D2xxApi ---
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

    // --- Scripting ---
    SimFaults& Faults() { return faults_; }
    SimPace Pace() const { return timeline_.Instant() ? SimPace::Instant : SimPace::RealTime; }
    // For a model of the USB bridge that runs its own latency timer in front of the pod:
    // replies are readable as soon as their last byte is off the line (until the next open).
    void ZeroBridgeLatency() { link_.settings.latencyMs = 0; }
    // Whether reply bytes are on their way to the host, readable yet or not.
    bool ReplyOnTheWay() const { return link_.QueuedCount() > 0; }

    // --- State between runs (format in SimStateFile.h) ---
    bool SaveState(const std::string& path, std::string* error) const;
    bool LoadState(const std::string& path, std::string* error);
    // Saves the state to path after every frame that changes the flash or the EEPROM, so a
    // run killed half-way leaves the file as the board is: erased, half written, written.
    // Empty: only SaveState saves. Failures show at the caller's final SaveState.
    void SaveAfterEveryChange(std::string path) { autosavePath_ = std::move(path); }

    // --- Inspection ---
    std::uint16_t ProgramWord(std::uint32_t address) const { return target_.ProgramWord(address); }
    std::uint16_t DataWord(std::uint32_t address) const { return target_.DataWord(address); }
    const SimEeprom::InfoRecord& EepromRecord() const { return eeprom_.Record(); }
    const SimEeprom::Blocks& StoredBlocks() const { return eeprom_.StoredBlocks(); }
    SimTarget& Target() { return target_; }
    const SimTarget& Target() const { return target_; }
    SimEeprom& Eeprom() { return eeprom_; }
    const SimPodFirmware& Firmware() const { return firmware_; }
    const SimLink::Settings& LinkSettings() const { return link_.settings; }
    const SimCounters& Counters() const { return counters_; }
    // Unplugged by its faults: its calls fail from now on.
    bool Unplugged() const {
        return faults_.unplugged && faults_.failCall > 0 && counters_.calls >= faults_.failCall;
    }
    // Well-formed frames as text ("I", "G1", "W05010001F00012340400"); malformed ones as
    // "!bad:" followed by what arrived.
    const std::vector<std::string>& FrameLog() const { return frameLog_; }
    // Every byte written, in order.
    const std::string& WrittenBytes() const { return byteLog_; }
    void ClearLogs();
    bool IsOpen() const { return openDevice_ >= 0; }
    // Description of the open device, "" when none is open.
    std::string OpenedDescription() const;
    // Simulated time since construction.
    std::uint64_t ElapsedUs();

private:
    FT_STATUS Enter();
    bool Valid(FT_HANDLE handle) const;
    bool OpenDeviceIsPod() const;
    std::string SerialOf(std::size_t index) const;
    void Receive(std::uint8_t byte, std::uint64_t arrivedUs, std::uint64_t batchEndUs,
                 bool& carriedT);
    void Dispatch(const SimFrame& frame, std::uint64_t arrivedUs, std::uint64_t batchEndUs);
    void Deliver(const SimPodFirmware::Reply& reply, const SimFaults::ReplyFault* fault,
                 std::uint64_t arrivedUs, std::uint64_t batchEndUs);
    const SimFaults::ReplyFault* FaultFor(char letter, int occurrence) const;
    void LogFrame(std::string text);

    SimTimeline timeline_;
    std::uint64_t startUs_ = 0;
    SimFaults faults_;
    SimCounters counters_;
    SimTarget target_;
    SimEeprom eeprom_;
    SimPodFirmware firmware_;
    SimFrameParser parser_;
    SimLink link_;
    std::uint64_t podBusyUntil_ = 0;
    std::array<int, 256> letterCounts_{};
    int tFramesSinceQueueCheck_ = 0;
    int openDevice_ = -1;
    std::string openDescription_;
    std::uintptr_t handleValue_ = 0;
    std::uintptr_t openGeneration_ = 0;
    std::vector<std::string> frameLog_;
    std::string byteLog_;
    std::string autosavePath_;
};
