#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "BlankRegion.h"
#include "Clock.h"
#include "D2xxApi.h"
#include "D2xxLibrary.h"
#include "MemoryRegion.h"
#include "NullDisplay.h"
#include "PodDisplays.h"
#include "PodResult.h"
#include "RegionSelection.h"

struct PodInfoRecord;
class SFileImage;
class WireTrace;

// The driver of the USB programming pod: D2XX binding, finding and opening the pod, framed
// I/O with time-outs, the command protocol, flash region operations, the target sequences
// and the pod's EEPROM image store. Every command blocks until the pod has answered or its
// time-out has passed; all waiting goes through the Clock.
class CUsbPod {
public:
    static constexpr std::size_t kReplyBufferSize = 400;
    static constexpr std::size_t kFrameBufferSize = 400;
    static constexpr std::size_t kDescriptionSize = 64;
    static constexpr const char* kPodDescription = "USB POD";

    CUsbPod(D2xxLibrary& library, Clock& clock, const SFileImage& image);
    // Closes the pod, then releases the library the close still calls into.
    ~CUsbPod();
    CUsbPod(const CUsbPod&) = delete;
    CUsbPod& operator=(const CUsbPod&) = delete;

    // Displays are borrowed, never owned; until handed over, reports go nowhere.
    void SetIndicators(StatusDisplay& status, ProgressDisplay& progress, MessageDisplay& messages);
    void SetLeds(LedDisplay& led1, LedDisplay& led2, LedDisplay& led3, LedDisplay& led4);
    // Optional wire log (null switches it off); see WireTrace.h for the line format.
    void SetWireTrace(WireTrace* trace) { trace_ = trace; }

    // Takes only the pod with this serial number and opens it by that number, for a host
    // with several pods; empty (the default): the first device described "USB POD".
    void SetWantedSerial(const std::string& serial);

    // Transport.
    bool LoadDriverLibrary();
    void FreeDriverLibrary();
    bool FindPod();
    PodOpenResult Open();
    bool Close();
    // Forgets a handle whose close failed (the device is gone) without calling D2XX, so the
    // next command opens afresh instead of working on a dead handle.
    void AbandonHandle();
    bool WriteFrame(const void* bytes, std::uint32_t length, std::uint32_t timeoutMs);
    // count must not exceed kReplyBufferSize; the buffer must hold count bytes.
    bool ReadReply(void* buffer, std::uint32_t count, std::uint32_t timeoutMs);
    bool ReceiveQueueCount(std::uint32_t& waiting);
    // Drops whatever waits in the receive queue (before the second identify only).
    bool DiscardReceived();

    // Simple commands; true when the pod acknowledged with "!".
    bool Identify();
    bool ResetTarget();
    bool EnterDebugMode(std::uint8_t argument);  // 1 before programming, 0 before verify
    bool DownloadFirmware();
    bool StoreImageInfo(bool eraseAllBoot, bool resetAfterWrite);
    void SendAbort();

    // Flash region operations; addresses are target word addresses.
    BlockResult WriteBlock(MemoryRegion region, bool verify, std::uint32_t first,
                           std::uint32_t last, std::uint32_t progress);
    BlockResult VerifyBlock(MemoryRegion region, std::uint32_t first, std::uint32_t last,
                            std::uint32_t progress);
    PodResult EraseAndWriteRegion(MemoryRegion region, bool verify, bool eraseAllBoot);
    PodResult VerifyRegion(MemoryRegion region);

    // Target sequences, on an open pod.
    PodResult ProgramTarget(const RegionSelection& selection, bool eraseAllBoot);
    PodResult ProgramAndVerifyTarget(const RegionSelection& selection, bool eraseAllBoot);
    PodResult VerifyTarget(const RegionSelection& selection);
    void UpdateLed(int step, bool failed);

    // Whole regions of the CPU's memory map, whatever the image holds (TargetErase.cpp).
    // EraseTarget erases every page of each selected region (BFLASH with one X when
    // eraseAllBoot) after debug mode 1 and the firmware download: 0 or the Target Write codes.
    PodResult EraseTarget(const RegionSelection& selection, bool eraseAllBoot);
    // BlankCheckTarget compares every word with 0xFFFF in page pieces, with S, T and P or V
    // alone, after debug mode 0. A region that differs is reported with its first differing
    // piece and the check goes on with the next. A region the pod did not answer for ends
    // the check with its verify code; otherwise the result is 0 when all are blank, else the
    // verify code of the first that is not.
    PodResult BlankCheckTarget(const RegionSelection& selection, std::vector<BlankRegion>& report);

    // Pod EEPROM image store, on an open pod.
    bool TransferRegionToEeprom(MemoryRegion region, bool verify);
    PodResult WritePodEeprom(bool eraseAllBoot, bool resetAfterWrite);
    PodResult VerifyPodEeprom();
    // Reads the pod's record of its stored image and prints it as VerifyPodEeprom does,
    // without comparing: 0, or 11 when there is no record or no stored image.
    PodResult ReadPodInfo(PodInfoRecord* stored = nullptr);

    bool HasLibrary() const { return api_ != nullptr; }
    bool IsFound() const { return found_ != 0; }
    bool IsOpen() const { return open_ != 0; }
    // The matched device's description ("USB POD"), empty when none matched.
    const char* Description() const { return description_; }
    const char* LibraryName() const;
    std::string LastLibraryError() const;
    // The bytes of the last reply a command read (the O info record, for instance).
    const std::uint8_t* ReplyBuffer() const { return replyBuffer_; }

private:
    // Frames and replies (PodCommands.cpp).
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    bool
    SendFrame(std::uint32_t writeTimeoutMs, const char* format, ...);
    // True when nothing waits in the receive queue before a command that expects a reply: a
    // waiting byte answers nothing this host asked and fails the command it would be taken for.
    bool NothingWaitingBefore(char letter);
    bool AwaitAck(std::uint32_t replyTimeoutMs);
    bool AwaitReply(std::uint32_t count, std::uint32_t replyTimeoutMs);
    bool ReadReplyBytes(std::uint8_t* buffer, std::uint32_t count, std::uint32_t timeoutMs,
                        bool stopOnRefusal);
    // Whether the device at this list index has the wanted serial number (any, when none).
    bool HasWantedSerial(std::uint32_t index);
    void ShowStatus(const char* text);
    void ShowProgress(std::uint32_t position);
    void ShowRange(std::uint32_t upper);
    void Trace(char direction, const std::uint8_t* bytes, std::size_t count, const char* failure);
    void TraceNote(const std::string& note);

    // T frame batches (PodCommands.cpp).
    void AppendWordToBatch(std::uint16_t word);
    bool FlushBatch();
    std::size_t BatchLength() const {
        return batchLength_;
    }

    // Region work (RegionOperations.cpp, TargetSequences.cpp, EepromStore.cpp).
    // blank: every word 0xFFFF instead of the image's.
    bool StreamBlock(MemoryRegion region, std::uint32_t first, std::uint32_t last,
                     std::uint32_t& progress, bool blank = false);
    bool SendVerifyFrame(MemoryRegion region, std::uint32_t first);
    bool EraseRegionPages(MemoryRegion region, std::uint32_t start, std::uint32_t end,
                          bool eraseAllBoot);
    bool IsUntouched(MemoryRegion region) const;
    bool RegionApplies(MemoryRegion region) const;
    std::uint16_t ImageWord(MemoryRegion region, std::uint32_t address) const;
    std::uint16_t ProgramRamStart() const;
    std::uint16_t BlockParameter() const;
    std::uint8_t CpuCode() const;
    // One region's work in a target sequence: its result, and whether the sequence may go on
    // after a failure because the pod is still in step.
    struct RegionStep {
        PodResult result = kPodOk;
        bool goOn = false;
    };
    PodResult RunTargetSequence(const RegionSelection& selection, bool program,
                                const std::function<RegionStep(MemoryRegion)>& work);
    PodResult EraseWholeRegion(MemoryRegion region, bool eraseAllBoot);
    RegionStep BlankCheckRegion(MemoryRegion region, BlankRegion& report);
    std::uint16_t StoredLength(MemoryRegion region) const;
    bool SendStoredExtent(MemoryRegion region, std::uint16_t start, std::uint16_t end,
                          std::uint16_t length);
    bool ImageMatchesRecord(const PodInfoRecord& record) const;
    void PrintInfoRecord(const PodInfoRecord& record);
    PodResult ReadStoredInfo(PodInfoRecord& record);
    PodResult VerifyStoredRegions(int& step);

    D2xxLibrary& library_;
    Clock& clock_;
    const SFileImage& image_;

    D2xxApi* api_ = nullptr;  // the library handle: non-null while the library is loaded
    FT_HANDLE handle_ = nullptr;
    std::int32_t found_ = 0;
    std::int32_t open_ = 0;
    char description_[kDescriptionSize] = {};
    std::string wantedSerial_;
    std::uint8_t replyBuffer_[kReplyBufferSize] = {};
    char frameBuffer_[kFrameBufferSize] = {};
    char batch_[kFrameBufferSize] = {};
    std::size_t batchLength_ = 0;

    NullDisplay nullDisplay_;
    StatusDisplay* status_ = &nullDisplay_;
    ProgressDisplay* progress_ = &nullDisplay_;
    MessageDisplay* messages_ = &nullDisplay_;
    std::array<LedDisplay*, 4> leds_ = {&nullDisplay_, &nullDisplay_, &nullDisplay_, &nullDisplay_};
    WireTrace* trace_ = nullptr;
};
