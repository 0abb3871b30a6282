#include "EmulatedPodTestbed.h"

#include <umockdev.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cstdio>
#include <filesystem>

#include "UsbfsPodDevice.h"

struct EmulatedPodTestbed::Plugged {
    UsbfsPodDevice* device = nullptr;
    UMockdevIoctlBase* handler = nullptr;
    UMockdevTestbed* testbed = nullptr;
    std::string syspath;
    std::string node;
};

namespace {

gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    return static_cast<UsbfsPodDevice*>(self)->HandleIoctl(client);
}

void OnClientVanished(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    static_cast<UsbfsPodDevice*>(self)->ClientGone(client);
}

}  // namespace

EmulatedPodTestbed::EmulatedPodTestbed() : testbed_(umockdev_testbed_new()) {
    gchar* root = umockdev_testbed_get_root_dir(testbed_);
    root_ = root;
    g_free(root);
}

EmulatedPodTestbed::~EmulatedPodTestbed() {
    for (Plugged* plugged : plugged_) {
        umockdev_testbed_detach_ioctl(testbed_, plugged->node.c_str(), nullptr);
        g_object_unref(plugged->handler);
        delete plugged;
    }
    g_object_unref(testbed_);
}

bool EmulatedPodTestbed::Add(UsbfsPodDevice& device, bool denyAccess, std::string& error) {
    const int address = static_cast<int>(plugged_.size()) + 2;  // 1 is the root hub's
    char node[64];
    std::snprintf(node, sizeof node, "/dev/bus/usb/001/%03d", address);
    char productId[8];
    std::snprintf(productId, sizeof productId, "%04x\n", device.Ids().productId);
    const std::string name = "1-" + std::to_string(plugged_.size() + 1);
    const std::string devnum = std::to_string(address) + "\n";
    gchar* syspath = umockdev_testbed_add_device(
        testbed_, "usb", name.c_str(), nullptr,
        // sysfs attributes, each ending in a newline as the kernel writes them
        "busnum", "1\n", "devnum", devnum.c_str(), "idVendor", "0403\n", "idProduct", productId,
        "bcdDevice", "0600\n", "speed", "12\n", "bConfigurationValue", "1\n", "bNumConfigurations",
        "1\n", "manufacturer", (device.Ids().manufacturer + "\n").c_str(), "product",
        (device.Ids().product + "\n").c_str(), "serial", (device.Ids().serial + "\n").c_str(),
        nullptr,
        // udev properties
        "DEVTYPE", "usb_device", "DEVNAME", node, "BUSNUM", "001", "DEVNUM", node + 17, nullptr);
    if (!syspath) {
        error = "umockdev cannot add " + name;
        return false;
    }
    const std::vector<std::uint8_t> descriptors = device.Descriptors();
    umockdev_testbed_set_attribute_binary(testbed_, syspath, "descriptors",
                                          const_cast<guint8*>(descriptors.data()),
                                          static_cast<gint>(descriptors.size()));
    const std::filesystem::path file = root_ + node;
    std::error_code ignored;
    std::filesystem::create_directories(file.parent_path(), ignored);
    // A pipe, not a plain file: see UsbfsPodDevice::RunWithReadinessPipe.
    std::filesystem::remove(file, ignored);
    if (mkfifo(file.c_str(), 0600) != 0) {
        error = "cannot make " + file.string();
        g_free(syspath);
        return false;
    }
    const int pipe = open(file.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (pipe < 0) {
        error = "cannot open " + file.string();
        g_free(syspath);
        return false;
    }
    fcntl(pipe, F_SETPIPE_SZ, 4096);
    device.RunWithReadinessPipe(pipe);
    std::filesystem::permissions(
        file,
        denyAccess ? std::filesystem::perms::owner_read | std::filesystem::perms::owner_write
                   : std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                         std::filesystem::perms::group_read | std::filesystem::perms::group_write |
                         std::filesystem::perms::others_read | std::filesystem::perms::others_write,
        ignored);
    if (denyAccess) {
        // Root opens anything; a user other than the owner cannot open this one.
        std::filesystem::permissions(file, std::filesystem::perms::none, ignored);
    }
    auto* plugged = new Plugged{&device, umockdev_ioctl_base_new(), testbed_, syspath, node};
    g_free(syspath);
    g_signal_connect(plugged->handler, "handle-ioctl", G_CALLBACK(OnIoctl), &device);
    g_signal_connect(plugged->handler, "client-vanished", G_CALLBACK(OnClientVanished), &device);
    GError* failure = nullptr;
    if (!umockdev_testbed_attach_ioctl(testbed_, node, plugged->handler, &failure)) {
        error = std::string("umockdev cannot attach to ") + node + ": " +
                (failure ? failure->message : "?");
        g_clear_error(&failure);
        g_object_unref(plugged->handler);
        delete plugged;
        return false;
    }
    plugged_.push_back(plugged);
    device.OnUnplug(
        [plugged] { umockdev_testbed_remove_device(plugged->testbed, plugged->syspath.c_str()); });
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
