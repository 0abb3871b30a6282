#include <cstdint>
#include <cstring>

#include "CUsbPod.h"
#include "D2xxLibrary.h"

namespace {

constexpr std::uint32_t kBaudRate = 921600;
constexpr std::uint8_t kLatencyTimerMs = 1;
constexpr std::uint32_t kDeviceTimeoutMs = 200;

}  // namespace

CUsbPod::CUsbPod(D2xxLibrary& library, Clock& clock, const SFileImage& image)
    : library_(library), clock_(clock), image_(image) {}

CUsbPod::~CUsbPod() {
    // Close first: once the library is released its calls may no longer be there.
    Close();
    FreeDriverLibrary();
}

void CUsbPod::SetIndicators(StatusDisplay& status, ProgressDisplay& progress,
                            MessageDisplay& messages) {
    status_ = &status;
    progress_ = &progress;
    messages_ = &messages;
}

void CUsbPod::SetLeds(LedDisplay& led1, LedDisplay& led2, LedDisplay& led3, LedDisplay& led4) {
    leds_ = {&led1, &led2, &led3, &led4};
}

bool CUsbPod::LoadDriverLibrary() {
    // Loading twice would leave a second reference that one FreeDriverLibrary never returns.
    if (api_ == nullptr) {
        api_ = library_.Load();
    }
    return api_ != nullptr;
}

void CUsbPod::FreeDriverLibrary() {
    if (api_ == nullptr) {
        return;
    }
    if (handle_ != nullptr && !Close()) {
        // The handle is worthless without the library; forget it rather than call into
        // released code later.
        handle_ = nullptr;
        open_ = 0;
    }
    library_.Free();
    api_ = nullptr;
}

const char* CUsbPod::LibraryName() const {
    return library_.Name();
}

std::string CUsbPod::LastLibraryError() const {
    return library_.LastError();
}

void CUsbPod::SetWantedSerial(const std::string& serial) {
    if (serial != wantedSerial_) {
        wantedSerial_ = serial;
        found_ = 0;  // the pod found so far may be another one
    }
}

bool CUsbPod::HasWantedSerial(std::uint32_t index) {
    if (wantedSerial_.empty()) {
        return true;
    }
    char serial[kDescriptionSize] = {};
    void* indexArg = reinterpret_cast<void*>(static_cast<std::uintptr_t>(index));
    const FT_STATUS status =
        api_->FT_ListDevices(indexArg, serial, FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER);
    serial[kDescriptionSize - 1] = '\0';
    return status == FT_OK && wantedSerial_ == serial;
}

bool CUsbPod::FindPod() {
    if (api_ == nullptr) {
        found_ = 0;
        return false;
    }
    if (found_ != 0) {
        return true;
    }
    std::memset(description_, 0, sizeof description_);
    std::uint32_t deviceCount = 0;
    if (api_->FT_ListDevices(&deviceCount, nullptr, FT_LIST_NUMBER_ONLY) != FT_OK ||
        deviceCount == 0) {
        std::memset(description_, 0, sizeof description_);
        found_ = 0;
        return false;
    }
    for (std::uint32_t index = 0; index < deviceCount; ++index) {
        void* indexArg = reinterpret_cast<void*>(static_cast<std::uintptr_t>(index));
        const FT_STATUS status =
            api_->FT_ListDevices(indexArg, description_, FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION);
        // A description that fills all 64 bytes has no terminator of its own.
        description_[kDescriptionSize - 1] = '\0';
        if (status == FT_OK && std::strcmp(description_, kPodDescription) == 0 &&
            HasWantedSerial(index)) {
            found_ = 1;
            return true;
        }
        std::memset(description_, 0, sizeof description_);
    }
    found_ = 0;
    return false;
}

PodOpenResult CUsbPod::Open() {
    if (open_ != 0) {
        return kPodOpenOk;
    }
    if (api_ == nullptr || found_ == 0) {
        return kPodOpenPortFailure;
    }
    const FT_STATUS opened =
        wantedSerial_.empty()
            ? api_->FT_OpenEx(description_, FT_OPEN_BY_DESCRIPTION, &handle_)
            : api_->FT_OpenEx(wantedSerial_.data(), FT_OPEN_BY_SERIAL_NUMBER, &handle_);
    if (opened != FT_OK || handle_ == nullptr) {
        handle_ = nullptr;
        return kPodOpenPortFailure;
    }
    std::uint8_t latency = 0;
    bool configured = api_->FT_ResetDevice(handle_) == FT_OK &&
                      api_->FT_GetLatencyTimer(handle_, &latency) == FT_OK;
    if (configured && latency != kLatencyTimerMs) {
        configured = api_->FT_SetLatencyTimer(handle_, kLatencyTimerMs) == FT_OK;
    }
    configured = configured && api_->FT_SetBaudRate(handle_, kBaudRate) == FT_OK &&
                 api_->FT_SetDataCharacteristics(handle_, FT_BITS_8, FT_STOP_BITS_1,
                                                 FT_PARITY_NONE) == FT_OK &&
                 api_->FT_SetFlowControl(handle_, FT_FLOW_NONE, 0, 0) == FT_OK &&
                 api_->FT_SetTimeouts(handle_, kDeviceTimeoutMs, kDeviceTimeoutMs) == FT_OK &&
                 api_->FT_Purge(handle_, FT_PURGE_RX | FT_PURGE_TX) == FT_OK;
    if (!configured) {
        api_->FT_Close(handle_);
        handle_ = nullptr;
        return kPodOpenPortFailure;
    }
    // The pod may miss the first identify right after power-up; one retry. An answer to the
    // first that comes after its time-out must not be read as the answer to the second.
    if (!Identify() && (!DiscardReceived() || !Identify())) {
        api_->FT_Close(handle_);
        handle_ = nullptr;
        return kPodOpenNoAnswer;
    }
    open_ = 1;
    return kPodOpenOk;
}

bool CUsbPod::Close() {
    if (handle_ == nullptr) {
        return true;
    }
    if (api_ == nullptr) {
        return false;
    }
    api_->FT_Purge(handle_, FT_PURGE_RX | FT_PURGE_TX);
    if (api_->FT_Close(handle_) != FT_OK) {
        return false;
    }
    handle_ = nullptr;
    open_ = 0;
    return true;
}

bool CUsbPod::DiscardReceived() {
    return api_ != nullptr && handle_ != nullptr && api_->FT_Purge(handle_, FT_PURGE_RX) == FT_OK;
}

void CUsbPod::AbandonHandle() {
    handle_ = nullptr;
    open_ = 0;
}
