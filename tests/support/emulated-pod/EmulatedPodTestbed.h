#pragma once

#include <memory>
#include <string>
#include <vector>

#include "GObjectRef.h"

class UsbfsPodDevice;
typedef struct _UMockdevTestbed UMockdevTestbed;

// A umockdev test bed holding emulated USB devices on bus 1: their sysfs entries (what libusb
// enumerates) and their usbfs nodes, whose ioctls the devices answer. Processes started with
// libumockdev-preload and this bed's UMOCKDEV_DIR see them in place of the real bus.
class EmulatedPodTestbed {
public:
    EmulatedPodTestbed();
    ~EmulatedPodTestbed();
    EmulatedPodTestbed(const EmulatedPodTestbed&) = delete;
    EmulatedPodTestbed& operator=(const EmulatedPodTestbed&) = delete;

    // Plugs the device in as the next address. With denyAccess its node is readable by root
    // only, as without the udev rule. False with the reason when umockdev refuses.
    bool Add(UsbfsPodDevice& device, bool denyAccess, std::string& error);
    // Lets other users read the bed itself, for a program run as another user.
    void OpenToAllUsers();
    std::string Root() const { return root_; }

private:
    struct Plugged;
    // The device's sysfs entry and its attributes; its path, or "" when umockdev refuses.
    std::string AddSysfsEntry(UsbfsPodDevice& device, const std::string& name,
                              const std::string& node, int address);
    // The usbfs node: a pipe whose readiness the device keeps (see
    // UsbfsPodDevice::RunWithReadinessPipe).
    bool MakeNode(UsbfsPodDevice& device, const std::string& node, bool denyAccess,
                  std::string& error);

    GObjectRef<UMockdevTestbed> testbed_;
    std::string root_;
    std::vector<std::unique_ptr<Plugged>> plugged_;
};
