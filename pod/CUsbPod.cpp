#include "CUsbPod.h"

CUsbPod::CUsbPod(D2xxLibrary& library, Clock& clock, const SFileImage& image)
    : link_(library, clock),
      protocol_(link_, clock, image, indicators_),
      regions_(protocol_, image, indicators_),
      sequences_(protocol_, regions_, image, indicators_),
      store_(protocol_, image, indicators_) {}

void CUsbPod::SetIndicators(StatusDisplay& status, ProgressDisplay& progress,
                            MessageDisplay& messages) {
    indicators_.SetDisplays(status, progress, messages);
}

void CUsbPod::SetLeds(LedDisplay& led1, LedDisplay& led2, LedDisplay& led3, LedDisplay& led4) {
    indicators_.SetLeds(led1, led2, led3, led4);
}

void CUsbPod::UpdateLed(int step, bool failed) {
    indicators_.UpdateLed(step, failed);
}

void CUsbPod::SetWireTrace(WireTrace* trace) {
    link_.SetWireTrace(trace);
}

void CUsbPod::SetWantedSerial(const std::string& serial) {
    link_.SetWantedSerial(serial);
}

bool CUsbPod::LoadDriverLibrary() {
    return link_.LoadLibrary();
}

void CUsbPod::FreeDriverLibrary() {
    link_.FreeLibrary();
}

bool CUsbPod::FindPod() {
    return link_.FindPod();
}

PodOpenResult CUsbPod::Open() {
    if (link_.IsOpen()) {
        return kPodOpenOk;
    }
    if (!link_.OpenPort()) {
        return kPodOpenPortFailure;
    }
    // The pod may miss the first identify right after power-up; one retry. An answer to the
    // first that comes after its time-out must not be read as the answer to the second.
    if (!Identify() && (!DiscardReceived() || !Identify())) {
        link_.DropPort();
        return kPodOpenNoAnswer;
    }
    link_.MarkAnswered();
    return kPodOpenOk;
}

bool CUsbPod::Close() {
    return link_.Close();
}

void CUsbPod::AbandonHandle() {
    link_.AbandonHandle();
}

bool CUsbPod::WriteFrame(const void* bytes, std::uint32_t length, std::uint32_t timeoutMs) {
    return link_.WriteFrame(bytes, length, timeoutMs);
}

bool CUsbPod::ReadReply(void* buffer, std::uint32_t count, std::uint32_t timeoutMs) {
    return link_.ReadReplyBytes(static_cast<std::uint8_t*>(buffer), count, timeoutMs, false)
        .complete;
}

bool CUsbPod::ReceiveQueueCount(std::uint32_t& waiting) {
    return link_.ReceiveQueueCount(waiting);
}

bool CUsbPod::DiscardReceived() {
    return link_.DiscardReceived();
}

bool CUsbPod::Identify() {
    return protocol_.Identify();
}

bool CUsbPod::ResetTarget() {
    return protocol_.ResetTarget();
}

bool CUsbPod::EnterDebugMode(std::uint8_t argument) {
    return protocol_.EnterDebugMode(argument);
}

bool CUsbPod::DownloadFirmware() {
    return protocol_.DownloadFirmware();
}

bool CUsbPod::StoreImageInfo(bool eraseAllBoot, bool resetAfterWrite) {
    return protocol_.StoreImageInfo(eraseAllBoot, resetAfterWrite);
}

void CUsbPod::SendAbort() {
    protocol_.SendAbort();
}

BlockResult CUsbPod::WriteBlock(MemoryRegion region, bool verify, std::uint32_t first,
                                std::uint32_t last, std::uint32_t progress) {
    return regions_.WriteBlock(region, verify, first, last, progress);
}

BlockResult CUsbPod::VerifyBlock(MemoryRegion region, std::uint32_t first, std::uint32_t last,
                                 std::uint32_t progress) {
    return regions_.VerifyBlock(region, first, last, progress);
}

PodResult CUsbPod::EraseAndWriteRegion(MemoryRegion region, bool verify, bool eraseAllBoot) {
    return regions_.EraseAndWriteRegion(region, verify, eraseAllBoot);
}

PodResult CUsbPod::VerifyRegion(MemoryRegion region) {
    return regions_.VerifyRegion(region);
}

PodResult CUsbPod::ProgramTarget(const RegionSelection& selection, bool eraseAllBoot) {
    return sequences_.ProgramTarget(selection, eraseAllBoot);
}

PodResult CUsbPod::ProgramAndVerifyTarget(const RegionSelection& selection, bool eraseAllBoot) {
    return sequences_.ProgramAndVerifyTarget(selection, eraseAllBoot);
}

PodResult CUsbPod::VerifyTarget(const RegionSelection& selection) {
    return sequences_.VerifyTarget(selection);
}

PodResult CUsbPod::ProgramChangedTarget(const RegionSelection& selection, bool verify,
                                        bool eraseAllBoot, std::vector<ChangedPages>& report) {
    return sequences_.ProgramChangedTarget(selection, verify, eraseAllBoot, report);
}

PodResult CUsbPod::EraseTarget(const RegionSelection& selection, bool eraseAllBoot) {
    return sequences_.EraseTarget(selection, eraseAllBoot);
}

PodResult CUsbPod::BlankCheckTarget(const RegionSelection& selection,
                                    std::vector<BlankRegion>& report) {
    return sequences_.BlankCheckTarget(selection, report);
}

bool CUsbPod::TransferRegionToEeprom(MemoryRegion region, bool verify) {
    return store_.TransferRegionToEeprom(region, verify);
}

PodResult CUsbPod::WritePodEeprom(bool eraseAllBoot, bool resetAfterWrite) {
    return store_.WritePodEeprom(eraseAllBoot, resetAfterWrite);
}

PodResult CUsbPod::VerifyPodEeprom() {
    return store_.VerifyPodEeprom();
}

PodResult CUsbPod::ReadPodInfo(PodInfoRecord* stored) {
    return store_.ReadPodInfo(stored);
}
