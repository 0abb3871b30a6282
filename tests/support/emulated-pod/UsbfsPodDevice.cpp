#include "UsbfsPodDevice.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <umockdev.h>

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <limits>

#include <fcntl.h>
#include <unistd.h>

#include "DeviceClock.h"
#include "EmulatorRecord.h"

namespace {

constexpr std::uint8_t kBulkIn = 0x81;
constexpr std::uint8_t kBulkOut = 0x02;
constexpr std::size_t kSetupSize = 8;
constexpr std::uint32_t kCapabilities = USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION |
                                        USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                        USBDEVFS_CAP_REAP_AFTER_DISCONNECT;

constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();
// How long a SlowCancel device holds a cancelled transfer back: longer than any host waits
// before giving up on it.
constexpr std::uint64_t kSlowCancelUs = 1'500'000;
// The chip's clock thread, where the system allows it, runs before every ordinary thread,
// as a chip's own clock does: a busy host then waits, and the chip does not wait with it. The
// thread that answers the host's usbfs requests stands for the kernel, which answers them in
// the caller's own time: it must not wait behind other work either.
constexpr int kChipClockPriority = 20;
constexpr int kUsbfsPriority = 10;

// Real-time scheduling for a thread; 0, or why the system refused it.
int RaisePriority(pthread_t thread, int priority) {
    sched_param param{};
    param.sched_priority = priority;
    return pthread_setschedparam(thread, SCHED_FIFO, &param);
}

// The client's memory that a pointer at offset in data leads to, size bytes of it.
GObjectRef<UMockdevIoctlData> Resolve(UMockdevIoctlData* data, std::size_t offset,
                                      std::size_t size) {
    return GObjectRef<UMockdevIoctlData>(umockdev_ioctl_data_resolve(data, offset, size, nullptr));
}

template <typename T>
T ReadAs(UMockdevIoctlData* data, std::size_t offset = 0) {
    T value{};
    if (data && static_cast<std::size_t>(data->data_len) >= offset + sizeof value) {
        std::memcpy(&value, data->data + offset, sizeof value);
    }
    return value;
}

template <typename T>
void WriteAs(UMockdevIoctlData* data, std::size_t offset, T value) {
    umockdev_ioctl_data_update(data, offset, reinterpret_cast<guint8*>(&value), sizeof value);
}

}  // namespace

UsbfsPodDevice::UsbfsPodDevice(EmulatedDeviceIds ids, SimulatedPod& pod, bool realTime,
                               EmulatorRecord& record, UsbFault fault, DeviceClock& clock)
    : ids_(std::move(ids)),
      record_(record),
      fault_(fault),
      clock_(clock),
      chip_(pod, realTime, record, ids_.serial) {}

std::vector<std::uint8_t> UsbfsPodDevice::Descriptors() const {
    const std::uint8_t pidLow = ids_.productId & 0xFF;
    const std::uint8_t pidHigh = ids_.productId >> 8;
    return {// Device: USB 2.0, max packet 8 on endpoint 0, 0403:pid, bcdDevice 6.00 (FT232R),
            // strings 1-3, one configuration.
            18, 1, 0x00, 0x02, 0, 0, 0, 8, 0x03, 0x04, pidLow, pidHigh, 0x00, 0x06, 1, 2, 3, 1,
            // Configuration 1: one interface, bus powered, 90 mA.
            9, 2, 32, 0, 1, 1, 0, 0xA0, 45,
            // Interface 0: vendor class, two endpoints, string 2.
            9, 4, 0, 0, 2, 0xFF, 0xFF, 0xFF, 2,
            // Bulk IN 0x81 and bulk OUT 0x02, 64 bytes each.
            7, 5, kBulkIn, 2, 64, 0, 0, 7, 5, kBulkOut, 2, 64, 0, 0};
}

std::vector<std::uint8_t> UsbfsPodDevice::StringDescriptor(int index) const {
    if (index == 0) {
        return {4, 3, 0x09, 0x04};  // US English only
    }
    const std::string* text = index == 1   ? &ids_.manufacturer
                              : index == 2 ? &ids_.product
                              : index == 3 ? &ids_.serial
                                           : nullptr;
    if (!text) {
        return {};
    }
    std::vector<std::uint8_t> out{static_cast<std::uint8_t>(2 + 2 * text->size()), 3};
    for (const char c : *text) {
        out.push_back(static_cast<std::uint8_t>(c));
        out.push_back(0);
    }
    return out;
}

bool UsbfsPodDevice::DriverBound() {
    std::lock_guard<std::mutex> lock(mutex_);
    return driverBound_;
}

void UsbfsPodDevice::Control(Urb& urb) {
    std::vector<std::uint8_t> setup(kSetupSize);
    if (!urb.buffer || urb.buffer->data_len < static_cast<int>(kSetupSize)) {
        urb.status = -EINVAL;
        urb.done = true;
        return;
    }
    std::memcpy(setup.data(), urb.buffer->data, kSetupSize);
    const std::uint8_t requestType = setup[0];
    const std::uint8_t request = setup[1];
    const std::uint16_t value = static_cast<std::uint16_t>(setup[2] | setup[3] << 8);
    const std::uint16_t index = static_cast<std::uint16_t>(setup[4] | setup[5] << 8);
    const int length = setup[6] | setup[7] << 8;
    std::vector<std::uint8_t> data(static_cast<std::size_t>(length));
    int answered = 0;
    if (requestType == 0x80 && request == 6) {  // GET_DESCRIPTOR
        std::vector<std::uint8_t> descriptor;
        const std::vector<std::uint8_t> all = Descriptors();
        switch (value >> 8) {
            case 1:
                descriptor.assign(all.begin(), all.begin() + 18);
                break;
            case 2:
                descriptor.assign(all.begin() + 18, all.end());
                break;
            case 3:
                descriptor = StringDescriptor(value & 0xFF);
                break;
        }
        if (descriptor.empty()) {
            answered = -1;
        } else {
            answered = std::min<int>(length, static_cast<int>(descriptor.size()));
            std::copy_n(descriptor.begin(), answered, data.begin());
        }
    } else if ((requestType & 0x60) == 0x40) {  // vendor: the chip's own requests
        answered = chip_.VendorRequest(request, value, index, data.data(), length, clock_.NowUs());
        if ((requestType & 0x80) == 0 && answered >= 0) {
            answered = 0;
        }
    } else {
        answered = 0;  // standard requests the host does not need answered
    }
    urb.done = true;
    urb.readyUs = clock_.NowUs();
    if (answered < 0) {
        urb.status = -EPIPE;  // stall
        return;
    }
    urb.status = 0;
    urb.actual = answered;
    data.resize(static_cast<std::size_t>(answered));
    urb.result = std::move(data);
}

void UsbfsPodDevice::Service(Urb& urb, std::uint64_t nowUs) {
    if (urb.done || gone_) {
        return;
    }
    if (urb.endpoint == kBulkOut) {
        std::uint64_t doneUs = nowUs;
        const auto* bytes = urb.buffer ? urb.buffer->data : nullptr;
        if (!chip_.Out(bytes, urb.length, nowUs, doneUs)) {
            return;  // NAK: stays in flight
        }
        urb.done = true;
        urb.actual = urb.length;
        urb.readyUs = doneUs;
        if ((fault_ == UsbFault::UnplugDuringWrite && chip_.FramesSeen('W') > 0) ||
            (fault_ == UsbFault::UnplugDuringVerify &&
             chip_.FramesSeen('P') + chip_.FramesSeen('V') > 0)) {
            unplugPending_ = true;
        }
    } else if (urb.endpoint == kBulkIn) {
        return;  // the chip ends it (TakeCompletions)
    } else {
        urb.done = true;
        urb.status = -EPIPE;
        urb.readyUs = nowUs;
    }
}

void UsbfsPodDevice::ServiceAll(std::uint64_t nowUs) {
    for (Urb& urb : urbs_) {
        Service(urb, nowUs);
    }
    TakeCompletions(nowUs);
}

void UsbfsPodDevice::TakeCompletions(std::uint64_t nowUs) {
    for (Ft232rInEndpoint::Completion& done : chip_.Advance(nowUs)) {
        const auto urb = std::find_if(urbs_.begin(), urbs_.end(),
                                      [&done](const Urb& u) { return u.id == done.id; });
        if (urb == urbs_.end() || urb->done) {
            continue;
        }
        if (hostStallUs_ > 0 && !hostStalled_ && done.packets.size() > 2 &&
            chip_.Script().Streaming(done.atUs)) {
            hostStalled_ = true;
            hostBackUs_ = done.atUs + hostStallUs_;
            // Whether another transfer waits to take the rest is up to the host: one that
            // was slow to submit it again has only this one out.
            record_.Line(ids_.serial, "host stalls " + std::to_string(hostStallUs_ / 1000) +
                                          " ms before it reaps again, " +
                                          std::to_string(chip_.TransfersPending()) +
                                          " more transfer(s) waiting");
        }
        urb->done = true;
        urb->actual = static_cast<int>(done.packets.size());
        urb->result = std::move(done.packets);
        urb->readyUs = done.atUs;
    }
}

bool UsbfsPodDevice::Reapable(const Urb& urb, std::uint64_t nowUs) const {
    return urb.done && urb.readyUs <= nowUs && nowUs >= hostBackUs_;
}

long UsbfsPodDevice::Submit(UMockdevIoctlClient* client, int& error) {
    GObjectRef<UMockdevIoctlData> data =
        Resolve(umockdev_ioctl_client_get_arg(client), 0, sizeof(usbdevfs_urb));
    if (!data) {
        error = EFAULT;
        return -1;
    }
    const auto header = ReadAs<usbdevfs_urb>(data.get());
    if (header.type != USBDEVFS_URB_TYPE_CONTROL &&
        (header.type != USBDEVFS_URB_TYPE_BULK || claimedBy_ != client)) {
        error = EINVAL;  // control transfers, or bulk ones once the interface is claimed
        return -1;
    }
    Urb urb;
    urb.owner = client;
    urb.address = data->client_addr;
    urb.type = header.type;
    urb.endpoint = header.endpoint;
    urb.length = header.buffer_length;
    if (header.buffer_length > 0) {
        urb.buffer = Resolve(data.get(), offsetof(usbdevfs_urb, buffer),
                             static_cast<std::size_t>(header.buffer_length));
    }
    urb.clientUrb = std::move(data);
    if (urb.type == USBDEVFS_URB_TYPE_CONTROL) {
        Control(urb);
    }
    urb.id = nextUrbId_++;
    urbs_.push_back(std::move(urb));
    Urb& queued = urbs_.back();
    const std::uint64_t now = clock_.NowUs();
    if (queued.type == USBDEVFS_URB_TYPE_BULK && queued.endpoint == kBulkIn) {
        if (fault_ != UsbFault::Silent) {
            chip_.SubmitIn(queued.id, queued.length, now);
        }
    } else {
        Service(queued, now);
    }
    return 0;
}

long UsbfsPodDevice::Reap(UMockdevIoctlClient* client, int& error) {
    const std::uint64_t now = clock_.NowUs();
    if (!gone_) {
        ServiceAll(now);
    }
    auto found = urbs_.end();
    for (auto it = urbs_.begin(); it != urbs_.end(); ++it) {
        if (it->owner == client && Reapable(*it, now) &&
            (found == urbs_.end() || it->readyUs < found->readyUs)) {
            found = it;
        }
    }
    if (found == urbs_.end()) {
        error = gone_ ? ENODEV : EAGAIN;
        return -1;
    }
    Urb urb = std::move(*found);
    urbs_.erase(found);
    WriteAs<int>(urb.clientUrb.get(), offsetof(usbdevfs_urb, status), urb.status);
    WriteAs<int>(urb.clientUrb.get(), offsetof(usbdevfs_urb, actual_length), urb.actual);
    if (urb.buffer && !urb.result.empty()) {
        const std::size_t offset = urb.type == USBDEVFS_URB_TYPE_CONTROL ? kSetupSize : 0;
        const std::size_t room = static_cast<std::size_t>(urb.buffer->data_len) - offset;
        umockdev_ioctl_data_update(urb.buffer.get(), offset, urb.result.data(),
                                   static_cast<gint>(std::min(room, urb.result.size())));
    }
    // The reaping client's void** comes back pointing at the usbdevfs_urb it submitted.
    const GObjectRef<UMockdevIoctlData> slot =
        Resolve(umockdev_ioctl_client_get_arg(client), 0, sizeof(void*));
    umockdev_ioctl_data_set_ptr(slot.get(), 0, urb.clientUrb.get());
    return 0;
}

long UsbfsPodDevice::Discard(UMockdevIoctlClient* client, int& error) {
    const auto address = ReadAs<std::uint64_t>(umockdev_ioctl_client_get_arg(client));
    for (Urb& urb : urbs_) {
        if (urb.owner == client && urb.address == address) {
            if (urb.done) {
                error = EINVAL;  // too late: it completed and waits to be reaped
                return -1;
            }
            const std::uint64_t now = clock_.NowUs();
            // A cancelled IN transfer comes back with the packets that reached it.
            urb.result =
                urb.endpoint == kBulkIn ? chip_.CancelIn(urb.id, now) : std::vector<std::uint8_t>{};
            urb.actual = static_cast<int>(urb.result.size());
            urb.done = true;
            urb.status = -ENOENT;
            const bool slow = fault_ == UsbFault::SlowCancel && chip_.FramesSeen('I') > 0;
            urb.readyUs = now + (slow ? kSlowCancelUs : 0);
            return 0;
        }
    }
    error = EINVAL;
    return -1;
}

void UsbfsPodDevice::Unplug() {
    gone_ = true;
    unplugPending_ = false;
    record_.Line(ids_.serial, "unplugged");
    // What was still in flight ends as the kernel ends it when the device goes.
    const std::uint64_t now = clock_.NowUs();
    for (Urb& urb : urbs_) {
        if (!urb.done) {
            urb.done = true;
            urb.status = -ESHUTDOWN;
            urb.actual = 0;
            urb.result.clear();
            urb.readyUs = now;
        }
    }
    chip_.Detach();
}

const UsbfsPodDevice::IoctlRoute UsbfsPodDevice::kIoctlRoutes[] = {
    {USBDEVFS_GET_CAPABILITIES, &UsbfsPodDevice::Capabilities, false},
    {USBDEVFS_SUBMITURB, &UsbfsPodDevice::Submit, false},
    {USBDEVFS_REAPURBNDELAY, &UsbfsPodDevice::Reap, true},
    {USBDEVFS_REAPURB, &UsbfsPodDevice::Reap, true},
    {USBDEVFS_DISCARDURB, &UsbfsPodDevice::Discard, false},
    {USBDEVFS_GETDRIVER, &UsbfsPodDevice::GetDriver, false},
    {USBDEVFS_DISCONNECT_CLAIM, &UsbfsPodDevice::DisconnectAndClaim, false},
    {USBDEVFS_CLAIMINTERFACE, &UsbfsPodDevice::ClaimInterface, false},
    {USBDEVFS_RELEASEINTERFACE, &UsbfsPodDevice::ReleaseInterface, false},
    {USBDEVFS_IOCTL, &UsbfsPodDevice::DriverCommand, false},
    {USBDEVFS_CLEAR_HALT, &UsbfsPodDevice::Accept, false},
    {USBDEVFS_RESETEP, &UsbfsPodDevice::Accept, false},
    {USBDEVFS_SETINTERFACE, &UsbfsPodDevice::Accept, false},
    {USBDEVFS_SETCONFIGURATION, &UsbfsPodDevice::Accept, false},
    {USBDEVFS_RESET, &UsbfsPodDevice::ResetDevice, false},
};

bool UsbfsPodDevice::HandleIoctl(UMockdevIoctlClient* client) {
    if (!usbfsThreadRaised_) {
        usbfsThreadRaised_ = true;
        RaisePriority(pthread_self(), kUsbfsPriority);
    }
    std::unique_lock<std::mutex> lock(mutex_);
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    IoctlHandler handler = &UsbfsPodDevice::Refuse;
    bool servedWhenGone = false;
    for (const IoctlRoute& route : kIoctlRoutes) {
        if (route.request == request) {
            handler = route.handler;
            servedWhenGone = route.servedWhenGone;
            break;
        }
    }
    int error = 0;
    long result = -1;
    if (gone_ && !servedWhenGone) {
        error = ENODEV;
    } else {
        result = (this->*handler)(client, error);
    }
    umockdev_ioctl_client_complete(client, result, error);
    AfterIoctl(lock);
    return true;
}

void UsbfsPodDevice::AfterIoctl(std::unique_lock<std::mutex>& lock) {
    const bool unplugNow = unplugPending_ && !gone_;
    if (unplugNow) {
        Unplug();
    }
    // A held IN transfer may be answerable now (the bytes just written brought a reply).
    const std::uint64_t now = clock_.NowUs();
    if (!gone_) {
        ServiceAll(now);
    }
    SignalReapable(now);
    // The clock thread sleeps until its next event; it is woken only when that came closer.
    const bool sooner = gone_ || NextWakeUs(now) < serviceSleepsUntilUs_;
    lock.unlock();
    if (sooner) {
        wake_.notify_one();
    }
    if (unplugNow && removeFromBus_) {
        removeFromBus_();
    }
}

long UsbfsPodDevice::Capabilities(UMockdevIoctlClient* client, int&) {
    const GObjectRef<UMockdevIoctlData> caps =
        Resolve(umockdev_ioctl_client_get_arg(client), 0, sizeof(std::uint32_t));
    WriteAs<std::uint32_t>(caps.get(), 0, kCapabilities);
    return 0;
}

long UsbfsPodDevice::GetDriver(UMockdevIoctlClient* client, int& error) {
    const GObjectRef<UMockdevIoctlData> query =
        Resolve(umockdev_ioctl_client_get_arg(client), 0, sizeof(usbdevfs_getdriver));
    if (!driverBound_) {
        error = ENODATA;
        return -1;
    }
    usbdevfs_getdriver answer = ReadAs<usbdevfs_getdriver>(query.get());
    std::snprintf(answer.driver, sizeof answer.driver, "ftdi_sio");
    umockdev_ioctl_data_update(query.get(), 0, reinterpret_cast<guint8*>(&answer), sizeof answer);
    return 0;
}

long UsbfsPodDevice::DisconnectAndClaim(UMockdevIoctlClient* client, int& error) {
    const auto claim = ReadAs<usbdevfs_disconnect_claim>(
        Resolve(umockdev_ioctl_client_get_arg(client), 0, sizeof(usbdevfs_disconnect_claim)).get());
    const bool onlyIf = (claim.flags & USBDEVFS_DISCONNECT_CLAIM_IF_DRIVER) != 0;
    const bool except = (claim.flags & USBDEVFS_DISCONNECT_CLAIM_EXCEPT_DRIVER) != 0;
    const bool named = std::strncmp(claim.driver, "ftdi_sio", sizeof claim.driver) == 0;
    return Claim(client, driverBound_ && (onlyIf ? named : except ? !named : true), error);
}

long UsbfsPodDevice::ClaimInterface(UMockdevIoctlClient* client, int& error) {
    return Claim(client, false, error);
}

long UsbfsPodDevice::Claim(UMockdevIoctlClient* client, bool detach, int& error) {
    if (fault_ == UsbFault::Busy || (claimedBy_ && claimedBy_ != client)) {
        record_.Line(ids_.serial, "claim refused: busy");
        error = EBUSY;
        return -1;
    }
    if (driverBound_ && !detach) {
        error = EBUSY;  // ftdi_sio still holds the interface
        return -1;
    }
    if (detach) {
        driverBound_ = false;
        record_.Line(ids_.serial, "driver ftdi_sio detached");
    }
    if (claimedBy_ != client) {
        claimedBy_ = client;
        record_.Line(ids_.serial, "claim");
        chip_.Attach();
    }
    return 0;
}

long UsbfsPodDevice::ReleaseInterface(UMockdevIoctlClient* client, int& error) {
    if (claimedBy_ != client) {
        error = EINVAL;
        return -1;
    }
    claimedBy_ = nullptr;
    chip_.Detach();
    record_.Line(ids_.serial, "release");
    RecordOutstanding(client, "released");
    return 0;
}

// USBDEVFS_IOCTL: a command for the interface's kernel driver.
long UsbfsPodDevice::DriverCommand(UMockdevIoctlClient* client, int& error) {
    const auto command = ReadAs<usbdevfs_ioctl>(
        Resolve(umockdev_ioctl_client_get_arg(client), 0, sizeof(usbdevfs_ioctl)).get());
    if (command.ioctl_code == static_cast<int>(USBDEVFS_DISCONNECT)) {
        if (!driverBound_) {
            error = ENODATA;
            return -1;
        }
        driverBound_ = false;
        record_.Line(ids_.serial, "driver ftdi_sio detached");
        return 0;
    }
    if (command.ioctl_code == static_cast<int>(USBDEVFS_CONNECT)) {
        if (!claimedBy_ && !driverBound_) {
            driverBound_ = true;
            record_.Line(ids_.serial, "driver ftdi_sio attached");
            chip_.KernelDriverBound(clock_.NowUs());
        }
        if (fault_ == UsbFault::UnplugAfterCommand && ++commandsEnded_ == 1) {
            unplugPending_ = true;
        }
        return 0;
    }
    error = ENOTTY;
    return -1;
}

long UsbfsPodDevice::Accept(UMockdevIoctlClient*, int&) {
    return 0;
}

long UsbfsPodDevice::ResetDevice(UMockdevIoctlClient*, int&) {
    record_.Line(ids_.serial, "usb reset");
    return 0;
}

long UsbfsPodDevice::Refuse(UMockdevIoctlClient* client, int& error) {
    char text[48];
    std::snprintf(text, sizeof text, "ioctl 0x%lx refused",
                  umockdev_ioctl_client_get_request(client));
    record_.Line(ids_.serial, text);
    error = ENOTTY;
    return -1;
}

UsbfsPodDevice::~UsbfsPodDevice() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    if (service_.joinable()) {
        service_.join();
    }
    if (readyPipe_ >= 0) {
        close(readyPipe_);
    }
}

void UsbfsPodDevice::RunWithReadinessPipe(int fd) {
    std::lock_guard<std::mutex> lock(mutex_);
    readyPipe_ = fd;
    pipeSaysReady_ = true;
    SignalReapable(clock_.NowUs());
    service_ = std::thread([this] { ServiceLoop(); });
    RaiseServicePriority();
}

void UsbfsPodDevice::RaiseServicePriority() {
    const int refused = RaisePriority(service_.native_handle(), kChipClockPriority);
    record_.Line(ids_.serial, refused == 0 ? std::string("chip clock at real-time priority")
                                           : std::string("chip clock at normal priority (") +
                                                 std::strerror(refused) + ")");
}

void UsbfsPodDevice::SignalReapable(std::uint64_t nowUs) {
    if (readyPipe_ < 0) {
        return;
    }
    bool reapable = gone_;
    for (const Urb& urb : urbs_) {
        reapable = reapable || Reapable(urb, nowUs);
    }
    if (reapable == pipeSaysReady_) {
        return;
    }
    // An empty pipe polls writable (POLLOUT, what libusb waits for); a full one does not.
    char bytes[4096] = {};
    if (reapable) {
        while (read(readyPipe_, bytes, sizeof bytes) > 0) {
        }
    } else {
        while (write(readyPipe_, bytes, sizeof bytes) > 0) {
        }
    }
    pipeSaysReady_ = reapable;
}

std::uint64_t UsbfsPodDevice::NextWakeUs(std::uint64_t nowUs) const {
    std::uint64_t next = gone_ ? kNever : chip_.NextEventUs();
    if (hostBackUs_ > nowUs) {
        next = std::min(next, hostBackUs_);
    }
    for (const Urb& urb : urbs_) {
        if (urb.done) {
            if (urb.readyUs > nowUs) {
                next = std::min(next, urb.readyUs);
            }
        } else if (!gone_ && urb.endpoint == kBulkOut) {
            // Waiting for room in the chip's buffer: look again next frame.
            next = std::min(next, (nowUs / 1000 + 1) * 1000);
        }
    }
    return next;
}

void UsbfsPodDevice::ServiceLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stop_) {
        const std::uint64_t now = clock_.NowUs();
        if (!gone_) {
            ServiceAll(now);
        }
        const bool unplugNow = unplugPending_ && !gone_;
        if (unplugNow) {
            Unplug();
        }
        SignalReapable(now);
        if (unplugNow && removeFromBus_) {
            lock.unlock();
            removeFromBus_();
            lock.lock();
            continue;
        }
        const std::uint64_t next = NextWakeUs(now);
        serviceSleepsUntilUs_ = next;
        if (next == kNever) {
            wake_.wait(lock);
        } else {
            clock_.WaitUntil(wake_, lock, next);
        }
        serviceSleepsUntilUs_ = 0;
    }
}

void UsbfsPodDevice::RecordOutstanding(UMockdevIoctlClient* client, const char* when) {
    // A host that lets go of the device while a transfer of its own is still out (not yet
    // reaped) has freed, or is about to free, the memory the transfer writes into.
    int outstanding = 0;
    for (const Urb& urb : urbs_) {
        outstanding += urb.owner == client ? 1 : 0;
    }
    if (outstanding > 0) {
        record_.Line(ids_.serial, std::string(when) + " with " + std::to_string(outstanding) +
                                      " transfer(s) not reaped");
    }
}

void UsbfsPodDevice::ClientGone(UMockdevIoctlClient* client) {
    std::lock_guard<std::mutex> lock(mutex_);
    RecordOutstanding(client, "closed");
    for (auto it = urbs_.begin(); it != urbs_.end();) {
        if (it->owner == client) {
            it = urbs_.erase(it);
        } else {
            ++it;
        }
    }
    if (claimedBy_ == client) {
        claimedBy_ = nullptr;
        chip_.Detach();
        record_.Line(ids_.serial, "closed while claimed");
    }
}
