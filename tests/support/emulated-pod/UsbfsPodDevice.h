#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Ft232rChip.h"
#include "GObjectRef.h"

class DeviceClock;
class EmulatorRecord;
class SimulatedPod;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;
typedef struct _UMockdevIoctlData UMockdevIoctlData;

// What the emulated device should get wrong.
enum class UsbFault {
    None,
    UnplugDuringWrite,   // pulled out once the programmer has seen its first W frame
    UnplugDuringVerify,  // ... its first P or V frame
    UnplugAfterCommand,  // pulled out when the first program using it has given it back
    Busy,                // another program holds the interface: claims are refused
    Silent,              // bulk IN transfers never complete
    SlowCancel,          // a cancelled transfer comes back only 1.5 s after its cancel
};

// The strings and ids of one emulated FTDI device.
struct EmulatedDeviceIds {
    std::uint16_t productId = 0x6001;
    std::string manufacturer = "FTDI";
    std::string product = "USB POD";
    std::string serial;
};

// One FT232R-class device behind a usbfs node (/dev/bus/usb/BBB/DDD): it answers the ioctls
// libusb sends there, including control and bulk URBs, and keeps the kernel driver's state.
// Its transfers end at times of the clock it is given.
class UsbfsPodDevice {
public:
    UsbfsPodDevice(EmulatedDeviceIds ids, SimulatedPod& pod, bool realTime, EmulatorRecord& record,
                   UsbFault fault, DeviceClock& clock);
    ~UsbfsPodDevice();
    UsbfsPodDevice(const UsbfsPodDevice&) = delete;
    UsbfsPodDevice& operator=(const UsbfsPodDevice&) = delete;

    // The device node is a pipe the device keeps full while nothing can be reaped, so that
    // libusb's poll() sleeps until a transfer has ended, as on usbfs; takes the descriptor
    // of its own end and starts the device's clock: transfers end on time without the host
    // asking.
    void RunWithReadinessPipe(int fd);

    // The device and configuration descriptors, as sysfs's "descriptors" attribute holds them.
    std::vector<std::uint8_t> Descriptors() const;
    const EmulatedDeviceIds& Ids() const { return ids_; }
    // Called (without the device's lock) when the device leaves the bus.
    void OnUnplug(std::function<void()> removeFromBus) {
        removeFromBus_ = std::move(removeFromBus);
    }

    // umockdev's handle-ioctl; returns whether the request was answered.
    bool HandleIoctl(UMockdevIoctlClient* client);
    void ClientGone(UMockdevIoctlClient* client);
    // Whether ftdi_sio holds the interface now.
    bool DriverBound();

private:
    // One submitted transfer. The client's usbdevfs_urb and its buffer stay resolved (and
    // referenced) from submit to reap.
    struct Urb {
        GObjectRef<UMockdevIoctlData> clientUrb;
        GObjectRef<UMockdevIoctlData> buffer;
        std::uint64_t address = 0;
        UMockdevIoctlClient* owner = nullptr;
        std::uint8_t type = 0;
        std::uint8_t endpoint = 0;
        int length = 0;
        bool done = false;
        int status = 0;
        std::vector<std::uint8_t> result;  // IN data, or the control transfer's data stage
        int actual = 0;
        std::uint64_t readyUs = 0;
    };
    // An ioctl's answer: the result (0 or -1) with errno's value for -1.
    using IoctlHandler = long (UsbfsPodDevice::*)(UMockdevIoctlClient* client, int& error);
    struct IoctlRoute {
        unsigned long request;
        IoctlHandler handler;
        bool servedWhenGone;  // a vanished device still gives back finished transfers
    };
    static const IoctlRoute kIoctlRoutes[];

    long Capabilities(UMockdevIoctlClient* client, int& error);
    long Submit(UMockdevIoctlClient* client, int& error);
    long Reap(UMockdevIoctlClient* client, int& error);
    long Discard(UMockdevIoctlClient* client, int& error);
    long GetDriver(UMockdevIoctlClient* client, int& error);
    long DisconnectAndClaim(UMockdevIoctlClient* client, int& error);
    long ClaimInterface(UMockdevIoctlClient* client, int& error);
    long ReleaseInterface(UMockdevIoctlClient* client, int& error);
    long DriverCommand(UMockdevIoctlClient* client, int& error);
    long Accept(UMockdevIoctlClient* client, int& error);
    long ResetDevice(UMockdevIoctlClient* client, int& error);
    long Refuse(UMockdevIoctlClient* client, int& error);
    // Claims the interface for the client, taking it from ftdi_sio first when detach says so.
    long Claim(UMockdevIoctlClient* client, bool detach, int& error);
    void AfterIoctl(std::unique_lock<std::mutex>& lock);

    void Control(Urb& urb);
    void Service(Urb& urb, std::uint64_t nowUs);
    void ServiceAll(std::uint64_t nowUs);
    void Unplug();
    void RecordOutstanding(UMockdevIoctlClient* client, const char* when);
    void ServiceLoop();
    void SignalReapable(std::uint64_t nowUs);
    std::uint64_t NextWakeUs(std::uint64_t nowUs) const;
    std::vector<std::uint8_t> StringDescriptor(int index) const;

    std::mutex mutex_;
    EmulatedDeviceIds ids_;
    EmulatorRecord& record_;
    UsbFault fault_;
    DeviceClock& clock_;
    Ft232rChip chip_;
    std::function<void()> removeFromBus_;
    std::deque<Urb> urbs_;
    bool driverBound_ = true;
    UMockdevIoctlClient* claimedBy_ = nullptr;
    bool gone_ = false;
    bool unplugPending_ = false;
    int commandsEnded_ = 0;
    int readyPipe_ = -1;
    bool pipeSaysReady_ = true;
    bool stop_ = false;
    std::condition_variable wake_;
    std::thread service_;
};
