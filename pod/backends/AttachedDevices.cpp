#include "AttachedDevices.h"

#include <cstdint>

#include "D2xxLibrary.h"

namespace {

bool ReadListedString(D2xxApi& api, std::uint32_t index, std::uint32_t which, std::string& text) {
    char buffer[kFtDescriptionSize + 1] = {};
    const FT_STATUS status =
        api.FT_ListDevices(reinterpret_cast<void*>(static_cast<std::uintptr_t>(index)), buffer,
                           FT_LIST_BY_INDEX | which);
    if (status != FT_OK) {
        return false;
    }
    // A library that fills all 64 bytes still gets a terminated string.
    buffer[kFtDescriptionSize] = '\0';
    text = buffer;
    return true;
}

}  // namespace

bool ListAttachedDevices(D2xxLibrary& library, std::vector<AttachedDevice>& devices,
                         std::string& error) {
    devices.clear();
    error.clear();
    D2xxApi* api = library.Load();
    if (!api) {
        error = std::string(library.Name()) + " is not available: " + library.LastError();
        return false;
    }
    std::uint32_t count = 0;
    const FT_STATUS status = api->FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY);
    if (status != FT_OK) {
        error = "cannot count the devices (D2XX status " + std::to_string(status) + ")";
        const std::string reason = library.LastError();
        if (!reason.empty()) {
            error += ": " + reason;
        }
        return false;
    }
    for (std::uint32_t index = 0; index < count; ++index) {
        AttachedDevice device;
        device.index = index;
        if (!ReadListedString(*api, index, FT_OPEN_BY_DESCRIPTION, device.description)) {
            device.problem = library.LastError();
            if (device.problem.empty()) {
                device.problem = "its description cannot be read";
            }
        } else if (!ReadListedString(*api, index, FT_OPEN_BY_SERIAL_NUMBER, device.serial)) {
            // Not every library lists serial numbers; the description is what matters.
            device.serial.clear();
        }
        devices.push_back(std::move(device));
    }
    return true;
}
