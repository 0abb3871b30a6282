#include "VendorD2xxLibrary.h"

#include <utility>

#include "VendorD2xxApi.h"

namespace {

template <typename Fn>
void Resolve(const SharedLibrary& module, const char* name, Fn& slot, std::string& missing) {
    slot = reinterpret_cast<Fn>(module.Symbol(name));
    if (!slot) {
        missing += missing.empty() ? name : std::string(", ") + name;
    }
}

}  // namespace

VendorD2xxLibrary::VendorD2xxLibrary() : VendorD2xxLibrary(DefaultFileNames()) {}

VendorD2xxLibrary::VendorD2xxLibrary(std::vector<std::string> fileNames)
    : fileNames_(std::move(fileNames)) {}

VendorD2xxLibrary::~VendorD2xxLibrary() = default;

std::vector<std::string> VendorD2xxLibrary::DefaultFileNames() {
#ifdef _WIN32
    return {"Ftd2xx.dll"};
#else
    return {"libftd2xx.so", "libftd2xx.so.1"};
#endif
}

D2xxApi* VendorD2xxLibrary::Load() {
    if (api_) {
        return api_.get();
    }
    lastError_.clear();
    for (const std::string& fileName : fileNames_) {
        if (TryFile(fileName)) {
            lastError_.clear();
            return api_.get();
        }
    }
    if (fileNames_.empty()) {
        lastError_ = "no file name for the vendor D2XX library";
    }
    return nullptr;
}

bool VendorD2xxLibrary::TryFile(const std::string& fileName) {
    auto note = [this](const std::string& why) {
        lastError_ += lastError_.empty() ? why : "; " + why;
    };
    if (!module_.Open(fileName)) {
        note(module_.LastError());
        return false;
    }
    vendor_d2xx::EntryPoints calls;
    std::string missing;
    Resolve(module_, "FT_ListDevices", calls.listDevices, missing);
    Resolve(module_, "FT_OpenEx", calls.openEx, missing);
    Resolve(module_, "FT_ResetDevice", calls.resetDevice, missing);
    Resolve(module_, "FT_GetLatencyTimer", calls.getLatencyTimer, missing);
    Resolve(module_, "FT_SetLatencyTimer", calls.setLatencyTimer, missing);
    Resolve(module_, "FT_SetBaudRate", calls.setBaudRate, missing);
    Resolve(module_, "FT_SetDataCharacteristics", calls.setDataCharacteristics, missing);
    Resolve(module_, "FT_SetFlowControl", calls.setFlowControl, missing);
    Resolve(module_, "FT_SetTimeouts", calls.setTimeouts, missing);
    Resolve(module_, "FT_Purge", calls.purge, missing);
    Resolve(module_, "FT_Close", calls.close, missing);
    Resolve(module_, "FT_Write", calls.write, missing);
    Resolve(module_, "FT_Read", calls.read, missing);
    Resolve(module_, "FT_GetStatus", calls.getStatus, missing);
    Resolve(module_, "FT_GetQueueStatus", calls.getQueueStatus, missing);
    if (!missing.empty()) {
        module_.Close();
        note(fileName + " lacks the entry point(s) " + missing);
        return false;
    }
    api_ = std::make_unique<VendorD2xxApi>(calls);
    return true;
}

void VendorD2xxLibrary::Free() {
    // Nothing is unmapped here; see the header.
}
