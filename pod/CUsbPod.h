#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "BlankRegion.h"
#include "ChangedPages.h"
#include "MemoryRegion.h"
#include "PodDisplays.h"
#include "PodImageStore.h"
#include "PodIndicators.h"
#include "PodLink.h"
#include "PodProtocol.h"
#include "PodResult.h"
#include "RegionProgrammer.h"
#include "RegionSelection.h"
#include "TargetSequences.h"

class Clock;
class D2xxLibrary;
class SFileImage;
class WireTrace;
struct PodInfoRecord;

// The driver of the USB programming pod, made of its parts: the link (D2XX binding, finding
// and opening the pod, framed I/O with time-outs), the command protocol, the flash region
// operations, the target sequences and the pod's EEPROM image store. Every command blocks
// until the pod has answered or its time-out has passed; all waiting goes through the Clock.
class CUsbPod {
public:
    static constexpr std::size_t kReplyBufferSize = PodProtocol::kReplyBufferSize;
    static constexpr std::size_t kFrameBufferSize = PodProtocol::kFrameBufferSize;
    static constexpr std::size_t kDescriptionSize = PodLink::kDescriptionSize;
    static constexpr const char* kPodDescription = PodLink::kPodDescription;

    CUsbPod(D2xxLibrary& library, Clock& clock, const SFileImage& image);
    CUsbPod(const CUsbPod&) = delete;
    CUsbPod& operator=(const CUsbPod&) = delete;

    // Displays are borrowed, never owned; until handed over, reports go nowhere.
    void SetIndicators(StatusDisplay& status, ProgressDisplay& progress, MessageDisplay& messages);
    void SetLeds(LedDisplay& led1, LedDisplay& led2, LedDisplay& led3, LedDisplay& led4);
    // Optional wire log (null switches it off); see WireTrace.h for the line format.
    void SetWireTrace(WireTrace* trace);

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

    // Target sequences, on an open pod (see TargetSequences.h).
    PodResult ProgramTarget(const RegionSelection& selection, bool eraseAllBoot);
    PodResult ProgramAndVerifyTarget(const RegionSelection& selection, bool eraseAllBoot);
    PodResult VerifyTarget(const RegionSelection& selection);
    // Only the pages that differ from the image are erased and written.
    PodResult ProgramChangedTarget(const RegionSelection& selection, bool verify,
                                   bool eraseAllBoot, std::vector<ChangedPages>& report);
    void UpdateLed(int step, bool failed);
    // Whole regions of the CPU's memory map, whatever the image holds.
    PodResult EraseTarget(const RegionSelection& selection, bool eraseAllBoot);
    PodResult BlankCheckTarget(const RegionSelection& selection, std::vector<BlankRegion>& report);

    // Pod EEPROM image store, on an open pod (see PodImageStore.h).
    bool TransferRegionToEeprom(MemoryRegion region, bool verify);
    PodResult WritePodEeprom(bool eraseAllBoot, bool resetAfterWrite);
    PodResult VerifyPodEeprom();
    // Reads the pod's record of its stored image and prints it as VerifyPodEeprom does,
    // without comparing: 0, or 11 when there is no record or no stored image.
    PodResult ReadPodInfo(PodInfoRecord* stored = nullptr);

    bool HasLibrary() const { return link_.HasLibrary(); }
    bool IsFound() const { return link_.IsFound(); }
    bool IsOpen() const { return link_.IsOpen(); }
    // Whether the pod's port was ever opened in this run.
    bool WasOpened() const { return link_.EverOpened(); }
    // The matched device's description ("USB POD"), empty when none matched.
    const char* Description() const { return link_.Description(); }
    const char* LibraryName() const { return link_.LibraryName(); }
    std::string LastLibraryError() const { return link_.LastLibraryError(); }

private:
    // Declared in the order they are built: each part is handed the ones before it.
    PodIndicators indicators_;
    PodLink link_;
    PodProtocol protocol_;
    RegionProgrammer regions_;
    TargetSequences sequences_;
    PodImageStore store_;
};
