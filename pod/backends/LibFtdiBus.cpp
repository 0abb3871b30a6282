#include "LibFtdiBus.h"

#include <ftdi.h>
#include <libusb.h>

#include "LibFtdiPort.h"

namespace {

// The strings USB allows are at most 126 characters; D2XX truncates to 63 anyway.
constexpr int kStringBufferSize = 128;

std::string ReadString(libusb_device_handle* handle, std::uint8_t index, int& error) {
    if (index == 0) {
        return {};
    }
    unsigned char text[kStringBufferSize] = {};
    const int length = libusb_get_string_descriptor_ascii(handle, index, text, sizeof text);
    if (length < 0) {
        error = length;
        return {};
    }
    return std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length));
}

FtdiOpenFailure KindOfUsbError(int code) {
    switch (code) {
        case LIBUSB_ERROR_ACCESS:
            return FtdiOpenFailure::PermissionDenied;
        case LIBUSB_ERROR_NO_DEVICE:
        case LIBUSB_ERROR_NOT_FOUND:
            return FtdiOpenFailure::Gone;
        case LIBUSB_ERROR_BUSY:
            return FtdiOpenFailure::InUse;
        default:
            return FtdiOpenFailure::Other;
    }
}

}  // namespace

std::unique_ptr<LibFtdiBus> LibFtdiBus::Create(std::string& error, int transfersInFlight) {
    libusb_context* usb = nullptr;
    const int result = libusb_init(&usb);
    if (result < 0) {
        error = std::string("libusb cannot start: ") + libusb_error_name(result);
        return nullptr;
    }
    return std::unique_ptr<LibFtdiBus>(new LibFtdiBus(usb, transfersInFlight));
}

LibFtdiBus::~LibFtdiBus() {
    libusb_exit(usb_);
}

void LibFtdiBus::ReadStrings(libusb_device* device, FtdiDeviceEntry& entry) {
    libusb_device_descriptor descriptor{};
    libusb_get_device_descriptor(device, &descriptor);
    libusb_device_handle* handle = nullptr;
    const int opened = libusb_open(device, &handle);
    if (opened < 0) {
        entry.stringsError = opened;
        return;
    }
    int error = 0;
    entry.description = ReadString(handle, descriptor.iProduct, error);
    entry.serial = ReadString(handle, descriptor.iSerialNumber, error);
    entry.stringsError = error;
    libusb_close(handle);
}

int LibFtdiBus::Enumerate(std::vector<FtdiDeviceEntry>& devices) {
    devices.clear();
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(usb_, &list);
    if (count < 0) {
        return static_cast<int>(count);
    }
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(list[i], &descriptor) < 0 ||
            descriptor.idVendor != kFtdiVendorId) {
            continue;
        }
        FtdiDeviceEntry entry;
        entry.bus = libusb_get_bus_number(list[i]);
        entry.address = libusb_get_device_address(list[i]);
        entry.productId = descriptor.idProduct;
        ReadStrings(list[i], entry);
        devices.push_back(std::move(entry));
    }
    libusb_free_device_list(list, 1);
    return 0;
}

std::unique_ptr<FtdiPort> LibFtdiBus::Open(const FtdiDeviceEntry& device, FtdiOpenError& error) {
    error = {};
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(usb_, &list);
    if (count < 0) {
        error = {KindOfUsbError(static_cast<int>(count)), static_cast<int>(count),
                 libusb_error_name(static_cast<int>(count))};
        return nullptr;
    }
    std::unique_ptr<FtdiPort> port;
    bool found = false;
    for (ssize_t i = 0; i < count && !found; ++i) {
        if (libusb_get_bus_number(list[i]) == device.bus &&
            libusb_get_device_address(list[i]) == device.address) {
            found = true;
            port = OpenDevice(list[i], error);
        }
    }
    libusb_free_device_list(list, 1);
    if (!found) {
        error = {FtdiOpenFailure::Gone, LIBUSB_ERROR_NO_DEVICE, "no device at that address"};
    }
    return port;
}

std::unique_ptr<FtdiPort> LibFtdiBus::OpenDevice(libusb_device* device, FtdiOpenError& error) {
    ftdi_context* context = ftdi_new();
    if (!context) {
        error = {FtdiOpenFailure::Other, -1, "out of memory for the libftdi context"};
        return nullptr;
    }
    // ftdi_sio gives the device back (its /dev/ttyUSB node returns) once we close it.
    context->module_detach_mode = AUTO_DETACH_REATACH_SIO_MODULE;
    int result = ftdi_usb_open_dev(context, device);
    // A chip that another program left in a bit mode passes nothing through its UART.
    if (result == 0 && (result = ftdi_set_bitmode(context, 0, BITMODE_RESET)) == 0) {
        return std::make_unique<LibFtdiPort>(context, usb_, transfersInFlight_);
    }
    if (result < 0 && context->usb_dev != nullptr) {
        ftdi_usb_close(context);  // opened, but its bit mode could not be reset
    }
    error.code = result;
    error.detail = ftdi_get_error_string(context);
    ftdi_free(context);
    switch (result) {
        case -4: {
            // libftdi keeps libusb's reason to itself; ask libusb once more for it.
            libusb_device_handle* probe = nullptr;
            const int opened = libusb_open(device, &probe);
            if (opened == 0) {
                libusb_close(probe);
                error.kind = FtdiOpenFailure::Other;
            } else {
                error.kind = KindOfUsbError(opened);
                error.code = opened;
            }
            break;
        }
        case -8:  // "inappropriate permissions on device!"
            error.kind = FtdiOpenFailure::PermissionDenied;
            break;
        case -3:  // configuration refused: the kernel driver still holds the device
        case -5:  // claim refused
        case -11:
            error.kind = FtdiOpenFailure::InUse;
            break;
        default:
            error.kind = FtdiOpenFailure::Other;
            break;
    }
    return nullptr;
}
