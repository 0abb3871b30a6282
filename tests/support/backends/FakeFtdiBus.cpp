#include "FakeFtdiBus.h"

#include <cstdint>
#include <memory>

namespace {

bool ListedString(D2xxApi& device, std::size_t index, std::uint32_t which, std::string& text) {
    char buffer[kFtDescriptionSize] = {};
    if (device.FT_ListDevices(reinterpret_cast<void*>(static_cast<std::uintptr_t>(index)), buffer,
                              FT_LIST_BY_INDEX | which) != FT_OK) {
        return false;
    }
    buffer[kFtDescriptionSize - 1] = '\0';
    text = buffer;
    return true;
}

}  // namespace

int FakeFtdiBus::Enumerate(std::vector<FtdiDeviceEntry>& devices) {
    ++enumerations;
    devices.clear();
    if (enumerateError != 0) {
        return enumerateError;
    }
    std::uint32_t count = 0;
    if (device_.FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY) != FT_OK) {
        return kUsbErrorIo;
    }
    for (std::size_t index = 0; index < count; ++index) {
        FtdiDeviceEntry entry;
        entry.bus = 1;
        entry.address = static_cast<std::uint8_t>(index + 2);
        entry.productId = productId;
        const auto scripted = stringsErrors.find(index);
        if (scripted != stringsErrors.end()) {
            entry.stringsError = scripted->second;
        } else if (!ListedString(device_, index, FT_OPEN_BY_DESCRIPTION, entry.description)) {
            entry.stringsError = kUsbErrorIo;
        } else {
            ListedString(device_, index, FT_OPEN_BY_SERIAL_NUMBER, entry.serial);
        }
        devices.push_back(entry);
    }
    return 0;
}

std::unique_ptr<FtdiPort> FakeFtdiBus::Open(const FtdiDeviceEntry& device, FtdiOpenError& error) {
    error = {};
    if (openFailure.kind != FtdiOpenFailure::None) {
        error = openFailure;
        return nullptr;
    }
    FT_HANDLE handle = nullptr;
    std::string description = device.description;
    if (device_.FT_OpenEx(description.data(), FT_OPEN_BY_DESCRIPTION, &handle) != FT_OK) {
        error = {FtdiOpenFailure::Gone, kUsbErrorNoDevice, "libusb_open() failed"};
        return nullptr;
    }
    ports.emplace_back();
    return std::make_unique<FakeFtdiPort>(device_, handle,
                                          seed + static_cast<unsigned>(ports.size()), ports.back());
}
