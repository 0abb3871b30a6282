#include "LibFtdiD2xx.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "FtdiSerialDevice.h"

namespace {

const char* const kUdevHint =
    "install the udev rule SUBSYSTEM==\"usb\", ATTRS{idVendor}==\"0403\", "
    "ATTRS{product}==\"USB POD\", MODE=\"0660\", TAG+=\"uaccess\" and plug the pod in again";

std::string Location(const FtdiDeviceEntry& entry) {
    char text[40];
    std::snprintf(text, sizeof text, "bus %u device %u", unsigned{entry.bus},
                  unsigned{entry.address});
    return text;
}

std::string UsbIdentity(const FtdiDeviceEntry& entry) {
    char text[80];
    std::snprintf(text, sizeof text, "FTDI device %04x:%04x (%s)", unsigned{kFtdiVendorId},
                  unsigned{entry.productId}, Location(entry).c_str());
    return text;
}

// Reading the product string means opening the device, which the system may refuse.
std::string UnreadableReason(const FtdiDeviceEntry& entry) {
    if (entry.stringsError == kUsbErrorAccess) {
        return "permission denied reading the product string of " + UsbIdentity(entry) +
               "; if it is the USB POD, " + kUdevHint;
    }
    if (entry.stringsError == kUsbErrorNoDevice) {
        return UsbIdentity(entry) + " went away while being listed";
    }
    return "cannot read the product string of " + UsbIdentity(entry) + ": USB error " +
           std::to_string(entry.stringsError);
}

std::string OpenFailureReason(const std::string& name, const FtdiDeviceEntry& entry,
                              const FtdiOpenError& error) {
    const std::string device = name + " (" + Location(entry) + ")";
    const std::string detail =
        error.detail.empty() ? "error " + std::to_string(error.code) : error.detail;
    switch (error.kind) {
        case FtdiOpenFailure::PermissionDenied:
            return "permission denied opening " + device + ": " + kUdevHint;
        case FtdiOpenFailure::InUse:
            return device +
                   " is in use by another program, or its kernel serial driver could not be "
                   "detached (" +
                   detail + ")";
        case FtdiOpenFailure::Gone:
            return device + " went away before it could be opened";
        default:
            return "cannot open " + device + ": " + detail;
    }
}

}  // namespace

LibFtdiD2xx::LibFtdiD2xx(std::unique_ptr<FtdiBus> bus, Clock& clock)
    : bus_(std::move(bus)), clock_(clock) {}

LibFtdiD2xx::~LibFtdiD2xx() = default;

FT_STATUS LibFtdiD2xx::Relist() {
    listed_.clear();
    const int result = bus_->Enumerate(listed_);
    if (result < 0) {
        listed_.clear();
        lastError_ = "cannot list the USB devices: USB error " + std::to_string(result);
        return FT_IO_ERROR;
    }
    lastError_.clear();
    for (const FtdiDeviceEntry& entry : listed_) {
        if (entry.stringsError != 0) {
            lastError_ = UnreadableReason(entry);
            break;
        }
    }
    return FT_OK;
}

FT_STATUS LibFtdiD2xx::CopyListedString(std::uint32_t index, std::uint32_t flags,
                                        char* destination) {
    if (!destination || !(flags & (FT_OPEN_BY_DESCRIPTION | FT_OPEN_BY_SERIAL_NUMBER))) {
        return FT_INVALID_PARAMETER;
    }
    destination[0] = '\0';
    if (index >= listed_.size()) {
        return FT_DEVICE_NOT_FOUND;
    }
    const FtdiDeviceEntry& entry = listed_[index];
    if (entry.stringsError != 0) {
        lastError_ = UnreadableReason(entry);
        return FT_DEVICE_NOT_OPENED;
    }
    const std::string& text = (flags & FT_OPEN_BY_DESCRIPTION) ? entry.description : entry.serial;
    const std::size_t length = std::min<std::size_t>(text.size(), kFtDescriptionSize - 1);
    std::memcpy(destination, text.data(), length);
    destination[length] = '\0';
    return FT_OK;
}

FT_STATUS LibFtdiD2xx::FT_ListDevices(void* arg1, void* arg2, std::uint32_t flags) {
    if (flags & FT_LIST_NUMBER_ONLY) {
        if (!arg1) {
            return FT_INVALID_PARAMETER;
        }
        const FT_STATUS status = Relist();
        *static_cast<std::uint32_t*>(arg1) =
            status == FT_OK ? static_cast<std::uint32_t>(listed_.size()) : 0;
        return status;
    }
    if (flags & FT_LIST_BY_INDEX) {
        // The index refers to the last count; a caller that never asked for one gets a
        // fresh list.
        if (listed_.empty()) {
            const FT_STATUS status = Relist();
            if (status != FT_OK) {
                return status;
            }
        }
        const auto index = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(arg1));
        return CopyListedString(index, flags, static_cast<char*>(arg2));
    }
    return FT_INVALID_PARAMETER;
}

FT_STATUS LibFtdiD2xx::FT_OpenEx(void* arg, std::uint32_t flags, FT_HANDLE* handle) {
    if (handle) {
        *handle = nullptr;
    }
    const bool byDescription = (flags & FT_OPEN_BY_DESCRIPTION) != 0;
    if (!arg || !handle || (!byDescription && !(flags & FT_OPEN_BY_SERIAL_NUMBER))) {
        return FT_INVALID_PARAMETER;
    }
    const std::string wanted(static_cast<const char*>(arg));
    const FT_STATUS listed = Relist();
    if (listed != FT_OK) {
        return listed;
    }
    const std::string unreadable = lastError_;
    for (const FtdiDeviceEntry& entry : listed_) {
        if (entry.stringsError != 0 ||
            (byDescription ? entry.description : entry.serial) != wanted) {
            continue;
        }
        FtdiOpenError error;
        std::unique_ptr<FtdiPort> port = bus_->Open(entry, error);
        if (!port) {
            lastError_ = OpenFailureReason(wanted, entry, error);
            return FT_DEVICE_NOT_OPENED;
        }
        auto device = std::make_unique<FtdiSerialDevice>(std::move(port), clock_,
                                                         wanted + " (" + Location(entry) + ")");
        *handle = device.get();
        open_.push_back(std::move(device));
        lastError_.clear();
        gone_ = false;
        return FT_OK;
    }
    lastError_ = "no USB device of FTDI's vendor id 0403 is " +
                 std::string(byDescription ? "described" : "numbered") + " \"" + wanted + "\"";
    if (!unreadable.empty()) {
        lastError_ += "; " + unreadable;
    }
    return FT_DEVICE_NOT_FOUND;
}

FtdiSerialDevice* LibFtdiD2xx::Find(FT_HANDLE handle) {
    for (const auto& device : open_) {
        if (device.get() == handle) {
            return device.get();
        }
    }
    return nullptr;
}

FT_STATUS LibFtdiD2xx::Track(FtdiSerialDevice* device, FT_STATUS status) {
    if (status == FT_IO_ERROR) {
        lastError_ = device->Label() + (device->Lost() ? " is gone: " : ": ") + device->LastError();
        gone_ = device->Lost();
    }
    return status;
}

FT_STATUS LibFtdiD2xx::FT_ResetDevice(FT_HANDLE handle) {
    FtdiSerialDevice* device = Find(handle);
    return device ? Track(device, device->Reset()) : FT_INVALID_HANDLE;
}

FT_STATUS LibFtdiD2xx::FT_GetLatencyTimer(FT_HANDLE handle, std::uint8_t* timerMs) {
    FtdiSerialDevice* device = Find(handle);
    return device ? Track(device, device->GetLatencyTimer(timerMs)) : FT_INVALID_HANDLE;
}

FT_STATUS LibFtdiD2xx::FT_SetLatencyTimer(FT_HANDLE handle, std::uint8_t timerMs) {
    FtdiSerialDevice* device = Find(handle);
    return device ? Track(device, device->SetLatencyTimer(timerMs)) : FT_INVALID_HANDLE;
}

FT_STATUS LibFtdiD2xx::FT_SetBaudRate(FT_HANDLE handle, std::uint32_t baud) {
    FtdiSerialDevice* device = Find(handle);
    return device ? Track(device, device->SetBaudRate(baud)) : FT_INVALID_HANDLE;
}

FT_STATUS LibFtdiD2xx::FT_SetDataCharacteristics(FT_HANDLE handle, std::uint8_t wordLength,
                                                 std::uint8_t stopBits, std::uint8_t parity) {
    FtdiSerialDevice* device = Find(handle);
    return device ? Track(device, device->SetDataCharacteristics(wordLength, stopBits, parity))
                  : FT_INVALID_HANDLE;
}

FT_STATUS LibFtdiD2xx::FT_SetFlowControl(FT_HANDLE handle, std::uint16_t flowControl,
                                         std::uint8_t xon, std::uint8_t xoff) {
    FtdiSerialDevice* device = Find(handle);
    return device ? Track(device, device->SetFlowControl(flowControl, xon, xoff))
                  : FT_INVALID_HANDLE;
}

FT_STATUS LibFtdiD2xx::FT_SetTimeouts(FT_HANDLE handle, std::uint32_t readMs,
                                      std::uint32_t writeMs) {
    FtdiSerialDevice* device = Find(handle);
    return device ? Track(device, device->SetTimeouts(readMs, writeMs)) : FT_INVALID_HANDLE;
}

FT_STATUS LibFtdiD2xx::FT_Purge(FT_HANDLE handle, std::uint32_t mask) {
    FtdiSerialDevice* device = Find(handle);
    return device ? Track(device, device->Purge(mask)) : FT_INVALID_HANDLE;
}

FT_STATUS LibFtdiD2xx::FT_Close(FT_HANDLE handle) {
    auto found = std::find_if(open_.begin(), open_.end(),
                              [handle](const auto& device) { return device.get() == handle; });
    if (found == open_.end()) {
        return FT_INVALID_HANDLE;
    }
    (*found)->Close();
    open_.erase(found);
    return FT_OK;
}

FT_STATUS LibFtdiD2xx::FT_Write(FT_HANDLE handle, const void* buffer, std::uint32_t count,
                                std::uint32_t* written) {
    FtdiSerialDevice* device = Find(handle);
    return device ? Track(device, device->Write(buffer, count, written)) : FT_INVALID_HANDLE;
}

FT_STATUS LibFtdiD2xx::FT_Read(FT_HANDLE handle, void* buffer, std::uint32_t count,
                               std::uint32_t* received) {
    FtdiSerialDevice* device = Find(handle);
    return device ? Track(device, device->Read(buffer, count, received)) : FT_INVALID_HANDLE;
}

FT_STATUS LibFtdiD2xx::FT_GetStatus(FT_HANDLE handle, std::uint32_t* rxQueue,
                                    std::uint32_t* txQueue, std::uint32_t* eventStatus) {
    FtdiSerialDevice* device = Find(handle);
    if (!device) {
        return FT_INVALID_HANDLE;
    }
    if (txQueue) {
        *txQueue = 0;
    }
    if (eventStatus) {
        *eventStatus = 0;
    }
    return Track(device, device->QueueStatus(rxQueue));
}

FT_STATUS LibFtdiD2xx::FT_GetQueueStatus(FT_HANDLE handle, std::uint32_t* rxQueue) {
    FtdiSerialDevice* device = Find(handle);
    return device ? Track(device, device->QueueStatus(rxQueue)) : FT_INVALID_HANDLE;
}

std::uint32_t LibFtdiD2xx::ReceivedBytesPurged(FT_HANDLE handle) {
    const FtdiSerialDevice* device = Find(handle);
    return device ? device->PurgedReceived() : 0;
}
