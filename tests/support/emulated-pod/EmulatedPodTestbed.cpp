#include "EmulatedPodTestbed.h"

#include <umockdev.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cstdio>
#include <filesystem>

#include "UsbfsPodDevice.h"

struct EmulatedPodTestbed::Plugged {
    GObjectRef<UMockdevIoctlBase> handler;
    std::string node;
};

namespace {

gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    return static_cast<UsbfsPodDevice*>(self)->HandleIoctl(client);
}

void OnClientVanished(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    static_cast<UsbfsPodDevice*>(self)->ClientGone(client);
}

// A string that glib allocated, as text of our own.
std::string TakeGString(gchar* text) {
    std::string copy = text ? text : "";
    g_free(text);
    return copy;
}

}  // namespace

EmulatedPodTestbed::EmulatedPodTestbed()
    : testbed_(umockdev_testbed_new()),
      root_(TakeGString(umockdev_testbed_get_root_dir(testbed_.get()))) {}

EmulatedPodTestbed::~EmulatedPodTestbed() {
    for (const auto& plugged : plugged_) {
        umockdev_testbed_detach_ioctl(testbed_.get(), plugged->node.c_str(), nullptr);
    }
}

std::string EmulatedPodTestbed::AddSysfsEntry(UsbfsPodDevice& device, const std::string& name,
                                              const std::string& node, int address) {
    char productId[8];
    std::snprintf(productId, sizeof productId, "%04x\n", device.Ids().productId);
    const std::string devnum = std::to_string(address) + "\n";
    const std::string syspath = TakeGString(umockdev_testbed_add_device(
        testbed_.get(), "usb", name.c_str(), nullptr,
        // sysfs attributes, each ending in a newline as the kernel writes them
        "busnum", "1\n", "devnum", devnum.c_str(), "idVendor", "0403\n", "idProduct", productId,
        "bcdDevice", "0600\n", "speed", "12\n", "bConfigurationValue", "1\n", "bNumConfigurations",
        "1\n", "manufacturer", (device.Ids().manufacturer + "\n").c_str(), "product",
        (device.Ids().product + "\n").c_str(), "serial", (device.Ids().serial + "\n").c_str(),
        nullptr,
        // udev properties
        "DEVTYPE", "usb_device", "DEVNAME", node.c_str(), "BUSNUM", "001", "DEVNUM",
        node.c_str() + node.size() - 3, nullptr));
    if (syspath.empty()) {
        return syspath;
    }
    const std::vector<std::uint8_t> descriptors = device.Descriptors();
    umockdev_testbed_set_attribute_binary(testbed_.get(), syspath.c_str(), "descriptors",
                                          const_cast<guint8*>(descriptors.data()),
                                          static_cast<gint>(descriptors.size()));
    return syspath;
}

bool EmulatedPodTestbed::MakeNode(UsbfsPodDevice& device, const std::string& node, bool denyAccess,
                                  std::string& error) {
    namespace fs = std::filesystem;
    const fs::path file = root_ + node;
    std::error_code ignored;
    fs::create_directories(file.parent_path(), ignored);
    fs::remove(file, ignored);
    if (mkfifo(file.c_str(), 0600) != 0) {
        error = "cannot make " + file.string();
        return false;
    }
    const int pipe = open(file.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (pipe < 0) {
        error = "cannot open " + file.string();
        return false;
    }
    fcntl(pipe, F_SETPIPE_SZ, 4096);
    device.RunWithReadinessPipe(pipe);
    const fs::perms readWrite = fs::perms::owner_read | fs::perms::owner_write;
    fs::permissions(file,
                    denyAccess ? readWrite
                               : readWrite | fs::perms::group_read | fs::perms::group_write |
                                     fs::perms::others_read | fs::perms::others_write,
                    ignored);
    if (denyAccess) {
        // Root opens anything; a user other than the owner cannot open this one.
        fs::permissions(file, fs::perms::none, ignored);
    }
    return true;
}

bool EmulatedPodTestbed::Add(UsbfsPodDevice& device, bool denyAccess, std::string& error) {
    const int address = static_cast<int>(plugged_.size()) + 2;  // 1 is the root hub's
    char node[64];
    std::snprintf(node, sizeof node, "/dev/bus/usb/001/%03d", address);
    const std::string name = "1-" + std::to_string(plugged_.size() + 1);
    const std::string syspath = AddSysfsEntry(device, name, node, address);
    if (syspath.empty()) {
        error = "umockdev cannot add " + name;
        return false;
    }
    if (!MakeNode(device, node, denyAccess, error)) {
        return false;
    }
    auto plugged = std::make_unique<Plugged>();
    plugged->handler = GObjectRef<UMockdevIoctlBase>(umockdev_ioctl_base_new());
    plugged->node = node;
    g_signal_connect(plugged->handler.get(), "handle-ioctl", G_CALLBACK(OnIoctl), &device);
    g_signal_connect(plugged->handler.get(), "client-vanished", G_CALLBACK(OnClientVanished),
                     &device);
    GError* failure = nullptr;
    if (!umockdev_testbed_attach_ioctl(testbed_.get(), node, plugged->handler.get(), &failure)) {
        error = std::string("umockdev cannot attach to ") + node + ": " +
                (failure ? failure->message : "?");
        g_clear_error(&failure);
        return false;
    }
    plugged_.push_back(std::move(plugged));
    UMockdevTestbed* testbed = testbed_.get();
    device.OnUnplug(
        [testbed, syspath] { umockdev_testbed_remove_device(testbed, syspath.c_str()); });
    return true;
}

void EmulatedPodTestbed::OpenToAllUsers() {
    namespace fs = std::filesystem;
    std::error_code ignored;
    for (auto it = fs::recursive_directory_iterator(root_, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_directory(ignored)) {
            fs::permissions(it->path(),
                            fs::perms::others_read | fs::perms::others_exec |
                                fs::perms::group_read | fs::perms::group_exec,
                            fs::perm_options::add, ignored);
        } else if (it->is_socket(ignored)) {
            // The ioctl sockets: connecting takes write permission.
            fs::permissions(it->path(), fs::perms::others_all | fs::perms::group_all,
                            fs::perm_options::add, ignored);
        } else if (it->path().string().find("/dev/") == std::string::npos) {
            fs::permissions(it->path(), fs::perms::others_read | fs::perms::group_read,
                            fs::perm_options::add, ignored);
        }
    }
    // umockdev's stand-in for the udev netlink socket is made in the bed's root.
    fs::permissions(root_, fs::perms::all, fs::perm_options::add, ignored);
}
